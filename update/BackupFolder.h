#pragma once

#include "platform/InstallationLock.h"
#include "update/Backup.h"
#include "update/RunRecord.h"
#include "update/RunScope.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class FieldSource;

// The tool's backup of one update run: a folder Backups/<yyyy-MM-dd HH-mm-ss>/ beside Settings.ini holding
// every replaced file under its caption's path, the previous Settings.ini, database.txt with one statement
// per changed row that puts its old values back, and run.json, the record that marks the folder as the
// tool's and says what it holds.
//
// The folder is created with the first thing kept, and removed again when the run fails before changing
// anything. Folders and files are private to their owner: Setup.ini and Settings.ini hold passwords. After
// a successful run only the KeptRuns newest runs are kept, and the first run ever kept; folders the tool did
// not make are left alone. Backups and every run in it are used only when they belong to the user running
// the tool and no one else may write them (see PrivateFolder).
//
// Apart from the runs, in Backups/Originals/, lie the originals, which nothing prunes: the first time the
// tool changes a file of an installation, a row of a database or a settings file, its content before that
// change is kept there, once per installation, per database and per settings file, whichever run, targets
// or settings file changed it.
class BackupFolder : public Backup {
public:
    // The backup of a run on what fields name, which started at startedAt and whose settings file is settingsPath.
    BackupFolder(const QString &settingsPath, const FieldSource &fields, const QDateTime &startedAt = QDateTime::currentDateTime());

    void check() override;
    void keepFile(const QString &caption, const QString &path, const QByteArray &written) override;
    void keepSettings(const QByteArray &written) override;
    void keepRow(const RowChange &change) override;
    void changed() override;
    void finish() override;
    void abandon() override;

    // Backups beside the settings file.
    static QString backupsFolderOf(const QString &settingsPath);
    // The folder of the originals in Backups.
    static const QString OriginalsFolder;
    // This run's folder; empty until something was kept.
    QString folder() const { return m_folder; }
    // Marks this run as the restore of the run kept in folder.
    void setRestores(const QString &folder) { m_record.restores = folder; }

    // A run folder that the tool made, with its record.
    struct Run {
        QString folder;
        RunRecord record;
    };
    // The runs kept in backups, oldest first, then the originals kept there. Throws Failure naming Backups,
    // a run or a record that belongs to someone else or that others may write.
    static std::vector<Run> runsIn(const QString &backups);

    static constexpr int KeptRuns = 20;
    // How long a run waits for another that keeps its backups in the same folder.
    static constexpr int BackupsWaitSeconds = 30;

private:
    // The originals of one installation, database or settings file, as far as they are kept.
    struct Originals {
        QString folder;
        RunRecord record;
        bool changed = false; // holds what later runs wrote, not yet saved
        bool created = false; // by this run
    };

    void createFolder();
    void keep(RunRecord::File file, const QString &path, const QByteArray &written, RunRecord::Kind originalsKind);
    void writeRecord();
    void removeOldRuns();
    Originals &originals(RunRecord::Kind kind);
    void keepOriginalFile(RunRecord::Kind kind, const RunRecord::File &file, const QByteArray &bytes);
    void keepOriginalRow(const RunRecord::Row &row, const RowChange &change);
    // The folder of store, created when missing.
    void createOriginalsFolder(Originals &store);
    void saveOriginals();

    RunScope m_scope;
    QString m_backups;
    QString m_stamp;
    QString m_folder;
    RunRecord m_record;
    bool m_changed = false;
    std::map<RunRecord::Kind, Originals> m_originals;
    bool m_createdBackups = false;
    std::optional<InstallationLock> m_lock; // on Backups, from the first thing kept on
    bool m_createdOriginalsFolder = false;
    // What the changes of the items kept since the last changed() make the originals hold, once they are made:
    // the rows of a run are changed together, when their transaction commits.
    std::vector<std::function<void()>> m_onChanged;
};
