#pragma once

#include "update/Backup.h"
#include "update/RunRecord.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

// The tool's backup of one update run: a folder Backups/<yyyy-MM-dd HH-mm-ss>/ beside Settings.ini holding
// every replaced file under its caption's path, the previous Settings.ini, database.txt with one statement
// per changed row that puts its old values back, and run.json, the record that marks the folder as the
// tool's and says what it holds.
//
// The folder is created with the first thing kept, and removed again when the run fails before changing
// anything. Folders and files are private to their owner: Setup.ini and Settings.ini hold passwords. After
// a successful run only the KeptRuns newest runs are kept, and the first run ever kept, which holds the
// installation as it was before the tool first changed it; folders the tool did not make are left alone.
class BackupFolder : public Backup {
public:
    // The backup of a run that started at startedAt, whose settings file is settingsPath.
    explicit BackupFolder(const QString &settingsPath, const QDateTime &startedAt = QDateTime::currentDateTime());

    void check() override;
    void keepFile(const QString &caption, const QString &path, const QByteArray &written) override;
    void keepSettings(const QByteArray &written) override;
    void keepRow(const RowChange &change) override;
    void changed() override;
    void finish() override;
    void abandon() override;

    // Backups beside the settings file.
    static QString backupsFolderOf(const QString &settingsPath);
    // This run's folder; empty until something was kept.
    QString folder() const { return m_folder; }
    // Marks this run as the restore of the run kept in folder.
    void setRestores(const QString &folder) { m_record.restores = folder; }

    // A run folder that the tool made, with its record.
    struct Run {
        QString folder;
        RunRecord record;
    };
    // The runs kept in backups, oldest first.
    static std::vector<Run> runsIn(const QString &backups);

    static constexpr int KeptRuns = 20;

private:
    void createFolder();
    void keep(RunRecord::File file, const QString &path, const QByteArray &written);
    void writeInFolder(const QString &relativePath, const QByteArray &bytes);
    void removeOldRuns();

    QString m_settingsPath;
    QString m_backups;
    QString m_stamp;
    QString m_folder;
    RunRecord m_record;
    bool m_changed = false;
};
