#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

class QSqlRecord;
struct RowUpdate;

// What one update run replaces, kept as it was before: a folder Backups/<yyyy-MM-dd HH-mm-ss>/ beside
// Settings.ini holding every replaced file under its caption's path, the previous Settings.ini, and
// database.txt with one statement per changed column that puts its old value back.
//
// The folder is created with the first thing kept, so a run that replaces nothing leaves none. Folder and
// files are private to their owner: Setup.ini and Settings.ini hold passwords. Every method throws Failure
// naming the backup path it could not write; the caller has replaced nothing yet at that point.
class Backup {
public:
    // The backup of a run that started at startedAt, whose settings file is settingsPath.
    explicit Backup(const QString &settingsPath, const QDateTime &startedAt = QDateTime::currentDateTime());
    // A backup that keeps nothing, for measuring what backups cost a run.
    static Backup none();

    // Keeps the file at path under caption (backslashes become folders). A missing file is nothing to keep.
    void keepFile(const QString &caption, const QString &path);
    // Keeps the settings file as it is before the run saves it.
    void keepSettings();
    // Keeps, in database.txt, the values that rowUpdate is about to change in row, the row as the query
    // read it. Columns the row lacks are left out: setting them fails by itself.
    void keepRow(const QString &table, const RowUpdate &rowUpdate, const QSqlRecord &row);

    // Removes every backup folder but the newest KeptFolders (and never this run's). After a successful run.
    void removeOldFolders() const;

    // Backups beside the settings file.
    static QString backupsFolderOf(const QString &settingsPath);
    // This run's folder; empty until something was kept.
    QString folder() const { return m_folder; }

    static constexpr int KeptFolders = 20;

private:
    // A folder below Backups named like a backup: the run's start and its place among the runs of that second.
    struct Found {
        QString stamp;
        int run;
        QString name;
    };

    Backup() = default;
    std::vector<Found> backupFolders() const;
    bool keepsAnything() const { return !m_backups.isEmpty(); }
    void createFolder();
    void write(const QString &relativePath, const QByteArray &bytes);

    QString m_settingsPath;
    QString m_backups; // empty: keeps nothing
    QString m_stamp;
    QString m_folder;
    QStringList m_restoreStatements;
};
