#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <optional>
#include <utility>
#include <vector>

class PrivateFolder;

// What one update run kept, as run.json in its backup folder. Its presence marks a folder that the tool
// made; its sequence orders the runs whatever their folders are called or the clock said; and it holds what
// a restore needs: which installation, server and database the run worked on, for each file where it lies
// and digests of what was kept and what the run wrote, for each row where it is found after the run and
// each column before and after.
//
// The same record describes the originals that the tool keeps apart, never pruned: what an installation,
// a database or a settings file held before the tool first changed each of its files or rows. There each
// item is kept by the first run that changed it, and what it holds "after" is what the latest run wrote.
struct RunRecord {
    enum class State { Running, Complete, Failed };
    // What the folder keeps: one run, or the originals of an installation, of a database or of a settings file.
    enum class Kind { Run, Installation, Database, Settings };

    struct File {
        QString caption;     // "Mir3Server\DBSvr\Setup.ini", or "Settings.ini"
        QString path;        // where the run wrote it
        QString keptAs;      // the copy, below the run folder; empty when a link stood there
        QString linkTarget;  // what that link pointed to
        QByteArray kept;     // SHA-256 of the copy
        QByteArray written;  // SHA-256 of what the run wrote
    };
    struct Column {
        QString name;
        QVariant before;
        QVariant after;
    };
    struct Row {
        QString table;
        std::vector<std::pair<QString, QVariant>> key; // the columns that find the row, as they stand after the run
        std::vector<Column> columns;
    };

    static const QString FileName;

    Kind kind = Kind::Run;
    qint64 sequence = 0; // from 1 up for runs; never negative
    QDateTime started;
    State state = State::Running;
    QString note;
    QString restores; // the run folder that this run put back, when it was a restore
    QString installation; // the Mud3 folder, as the file system is asked for it
    QString server;       // the SQL address, as the connection was given it
    QString database;
    std::vector<File> files;
    std::vector<Row> rows;

    QByteArray toJson() const;
    // Nothing when the bytes are no record of the tool's.
    static std::optional<RunRecord> fromJson(const QByteArray &bytes);
    // The record in folder; nothing when there is none, or it is no record of the tool's. Throws Failure
    // naming the folder or the record when either belongs to someone else or others may write it.
    static std::optional<RunRecord> readFrom(const PrivateFolder &folder);
    static std::optional<RunRecord> readFrom(const QString &folder);

    // What the run kept, in a few words: "12 files, Settings.ini, 6 rows".
    QString summary() const;

    // The digest the record keeps of a file's content.
    static QByteArray digestOf(const QByteArray &bytes);
    // Whether two column values are the same as the table holds them: both NULL, or the same text.
    static bool sameValue(const QVariant &a, const QVariant &b);
};
