#pragma once

#include "update/Backup.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

// The tool's backup of one update run: a folder Backups/<yyyy-MM-dd HH-mm-ss>/ beside Settings.ini holding
// every replaced file under its caption's path, the previous Settings.ini, and database.txt with one
// statement per changed column that puts its old value back.
//
// The folder is created with the first thing kept, so a run that replaces nothing leaves none. Folder and
// files are private to their owner: Setup.ini and Settings.ini hold passwords.
class BackupFolder : public Backup {
public:
    // The backup of a run that started at startedAt, whose settings file is settingsPath.
    explicit BackupFolder(const QString &settingsPath, const QDateTime &startedAt = QDateTime::currentDateTime());

    void keepFile(const QString &caption, const QString &path) override;
    void keepSettings() override;
    // Keeps, in database.txt, the values that rowUpdate is about to change in row, the row as the query
    // read it. Columns the row lacks are left out: setting them fails by itself.
    void keepRow(const QString &table, const RowUpdate &rowUpdate, const QSqlRecord &row) override;
    // Removes every backup folder but the newest KeptFolders (and never this run's).
    void finish() override;

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

    std::vector<Found> backupFolders() const;
    void createFolder();
    void write(const QString &relativePath, const QByteArray &bytes);

    QString m_settingsPath;
    QString m_backups;
    QString m_stamp;
    QString m_folder;
    QStringList m_restoreStatements;
};
