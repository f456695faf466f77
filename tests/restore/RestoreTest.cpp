// Putting back a kept run against a temporary installation and the shared test database.
#include "database/AccountTables.h"
#include "database/LockHolder.h"
#include "faults/TreeState.h"
#include "platform/Failure.h"
#include "platform/InstallationLock.h"
#include "restore/Restore.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"
#include "update/BackupFolder.h"
#include "update/RunScope.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <optional>

// The temporary file that a replacement of path killed before its rename leaves; nothing where the tool cannot
// tell its temporary files from others.
QString leaveTemporaryFileBeside(const QString &path);

namespace {

const QStringList Tables{QStringLiteral("TBL_PUBIPS"), QStringLiteral("TBL_SELECTGATEIPS"), QStringLiteral("TBL_SERVERINFO")};

// A run over a fresh installation and fresh tables, kept in m_run.
class Restoring : public testing::Test {
protected:
    void SetUp() override
    {
        // A NULL and a Chinese name among the values the run replaces, to be put back exactly.
        TestDatabase::execute(AccountTables::create()
                              + QStringList{QStringLiteral("UPDATE TBL_SELECTGATEIPS SET FLD_NAME = NULL"),
                                            QStringLiteral("UPDATE TBL_SERVERINFO SET FLD_SERVERNAME = N'旧区'")});
        m_before.clear();
        for (const QString &table : Tables)
            m_before.append(rows(table));
        m_tree = std::make_unique<InstallationTree>();
        m_form = FormValues();
        pointAtTestSystem(m_form, *m_tree);
        AccountTables::setNewValues(m_form);
        writeBytes(m_tree->settingsPath(), "[Settings]\r\nServerName=Before\r\n");
        ASSERT_TRUE(runUpdateOnLoopback(m_form, m_module, m_tree->settingsPath()).succeeded);
        m_run = newestRun();
    }
    void TearDown() override { TestDatabase::execute(AccountTables::drop()); }

    QString newestRun() const { return Restore::keptRuns(m_tree->settingsPath()).front().folder; }
    QStringList rows(const QString &table) const { return AccountTables::rows(TestDatabase::admin(), table); }

    Restore::Result restore(const QString &run, bool force)
    {
        return Restore::restore(run, {}, force, true, m_form, m_module, m_tree->settingsPath());
    }

    // The files and rows, to compare what a restore left.
    QStringList state() const
    {
        QStringList state;
        for (int target = FirstFileTarget; target < TargetCount; ++target)
            state.append(QString::fromLatin1(m_tree->read(target)));
        for (const QString &table : Tables)
            state += rows(table);
        return state;
    }

    // Another run over the tree with other values and every target ticked, or only the tables.
    RunOutcome runAgain(bool onlyTables, Backup *backup = nullptr)
    {
        m_form.setFieldText(Field::txtServerName, QStringLiteral("Second"));
        m_form.setFieldText(Field::txtExternalIP, QStringLiteral("198.51.100.99"));
        for (int target = 0; target < TargetCount; ++target)
            m_form.setTicked(target, !onlyTables || target < FirstFileTarget);
        if (!backup)
            return runUpdateOnLoopback(m_form, m_module, m_tree->settingsPath());
        return runUpdate(m_form, m_module, m_tree->settingsPath(), *backup);
    }

    std::unique_ptr<InstallationTree> m_tree;
    QList<QStringList> m_before; // each table's rows before the run
    FormValues m_form;
    Module1 m_module;
    QString m_run;
};

} // namespace

TEST_F(Restoring, PutsBackWhatTheRunChangedAndWhatChangedSinceOnlyWhenConfirmed)
{
    struct Case {
        const char *what;
        bool editSince;   // a file and a row changed after the run
        bool force;
        bool restored;    // the edited file and row hold the kept content afterwards
    };
    const Case cases[] = {
        {"a plain undo", false, false, true},
        {"an item changed since is left alone", true, false, false},
        {"a forced restore puts it back too", true, true, true},
    };
    const QByteArray edited = "edited since the run\r\n";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (&c != cases)
            SetUp();
        if (c.editSince) {
            writeBytes(m_tree->filePath(8), edited);
            TestDatabase::execute({QStringLiteral("UPDATE TBL_SERVERINFO SET FLD_SERVERNAME = 'Edited' WHERE FLD_ID = 1")});
        }
        const Restore::Plan plan = Restore::plan(m_run, m_form, m_tree->settingsPath());
        EXPECT_EQ(plan.hasChangesSince(), c.editSince);

        const Restore::Result result = restore(m_run, c.force);

        ASSERT_TRUE(result.outcome.succeeded) << result.outcome.cause.toStdString();
        EXPECT_EQ(result.leftAlone.size(), c.editSince && !c.force ? 2 : 0) << result.leftAlone.join(QStringLiteral("; ")).toStdString();
        for (int target = FirstFileTarget; target < TargetCount; ++target) {
            const bool restored = target != 8 || c.restored;
            EXPECT_EQ(m_tree->read(target), restored ? InstallationTree::oldContent(target) : edited) << "target " << target;
        }
        EXPECT_EQ(rows(Tables[0]), m_before[0]);
        EXPECT_EQ(rows(Tables[1]), m_before[1]);
        EXPECT_EQ(rows(Tables[2]), c.restored ? m_before[2] : QStringList{QStringLiteral("1|MIR3|Edited|kept 6")});
        EXPECT_EQ(readFile(m_tree->settingsPath()), "[Settings]\r\nServerName=Before\r\n");
        TearDown();
    }
}

// The restore kept a backup of its own: restoring that puts back what the run had written.
TEST_F(Restoring, ARestoreIsUndoneByRestoringItsOwnBackup)
{
    const QByteArray written = m_tree->read(14);
    ASSERT_TRUE(restore(m_run, false).outcome.succeeded);
    const QString restoreRun = newestRun();
    ASSERT_NE(restoreRun, m_run);
    EXPECT_TRUE(Restore::keptRuns(m_tree->settingsPath()).front().description().contains(QFileInfo(m_run).fileName()));

    const Restore::Result undone = restore(restoreRun, false);

    ASSERT_TRUE(undone.outcome.succeeded) << undone.outcome.cause.toStdString();
    EXPECT_EQ(m_tree->read(14), written);
    for (const QString &table : Tables)
        EXPECT_EQ(rows(table), AccountTables::updatedRows(table));
}

// A folder whose copy is gone is no complete run: nothing is put back.
TEST_F(Restoring, AnIncompleteRunFolderIsRefusedAndNothingIsWritten)
{
    ASSERT_TRUE(QFile::remove(m_run + QStringLiteral("/Setup/Plus_Setup.ini")));
    const QByteArray written = m_tree->read(3);

    const Restore::Result result = restore(m_run, true);

    EXPECT_FALSE(result.outcome.succeeded);
    EXPECT_TRUE(result.outcome.cause.contains(QStringLiteral("This is no complete run kept by the tool"))) << result.outcome.cause.toStdString();
    EXPECT_EQ(m_tree->read(3), written);
    EXPECT_EQ(rows(Tables[0]), AccountTables::updatedRows(Tables[0]));
    const std::vector<Restore::KeptRun> kept = Restore::keptRuns(m_tree->settingsPath());
    EXPECT_EQ(std::count_if(kept.begin(), kept.end(), [](const Restore::KeptRun &run) { return run.record.kind == RunRecord::Kind::Run; }), 1);
}

namespace {

// A backup whose disk fills after some files: the run fails half-way, and its record cannot even say so.
class DiskFillingBackup : public Backup {
public:
    DiskFillingBackup(BackupFolder &folder, int filesThatFit)
        : m_folder(folder)
        , m_filesThatFit(filesThatFit)
    {
    }
    void check() override { m_folder.check(); }
    void keepFile(const QString &caption, const QString &path, const QByteArray &written) override
    {
        if (m_filesThatFit-- == 0)
            throw Failure(QStringLiteral("No space left on device"));
        m_folder.keepFile(caption, path, written);
    }
    void keepSettings(const QByteArray &written) override { m_folder.keepSettings(written); }
    void keepRow(const RowChange &change) override { m_folder.keepRow(change); }
    void changed() override { m_folder.changed(); }
    void finish() override { m_folder.finish(); }
    void abandon() override {}

private:
    BackupFolder &m_folder;
    int m_filesThatFit;
};

} // namespace

// A record is taken only for what a run of the tool writes, here: anything else is refused before anything is
// written; rows kept from another database are left alone unless forced.
TEST_F(Restoring, ARecordIsTakenOnlyForWhatARunOfTheToolWritesHere)
{
    struct Case {
        const char *what;
        const char *text;    // in run.json, everywhere
        const char *changed; // what takes its place
        const char *refusal; // a piece of the plan's and the restore's failure; nullptr: the restore goes on
        bool force;
        bool rowsRestored;
    };
    const QByteArray keyName = TestDatabase::isTSql() ? "\"name\": \"FLD_ID\"" : "\"name\": \"fld_id\"";
    const Case cases[] = {
        {"a column that no row update sets", "\"FLD_PUBIP\"", "\"FLD_DESCRIPTION\"", "the column \"TBL_PUBIPS.FLD_DESCRIPTION\"", true, false},
        {"a key that is not how a run finds the row", keyName.constData(), "\"name\": \"FLD_REMARK\"", "not as a run of the tool finds it", true, false},
        {"a character that reorders text in a path", "/Settings.ini\"", "/evil\u202Eini.txt\"", "a path holding a control character", true, false},
        {"a NUL in a path", "\"path\": \"", "\"path\": \"/etc/shadow\\u0000", "a path holding a control character", true, false},
        {"a file outside the installation", "\"path\": \"", "\"path\": \"/elsewhere", "the file \"/elsewhere", true, false},
        {"a copy outside the run", "\"Setup/Plus_Setup.ini\"", "\"../../../etc/passwd\"", "the copy", true, false},
        {"the largest run number", "\"sequence\": \"1\"", "\"sequence\": \"9223372036854775807\"", "the largest number there is", true, false},
        {"another server, not forced", "\"server\": \"", "\"server\": \"192.0.2.200", nullptr, false, false},
        {"another server, forced", "\"server\": \"", "\"server\": \"192.0.2.200", nullptr, true, true},
        {"another settings file beside it", "/Settings.ini\"", "/realm1.ini\"", nullptr, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (&c != cases)
            SetUp();
        const QString record = m_run + QStringLiteral("/run.json");
        writeBytes(record, readFile(record).replace(c.text, c.changed));
        const QStringList written = state();
        const QByteArray settings = readFile(m_tree->settingsPath());

        if (QByteArray(c.text).contains("sequence")) {
            // No run can be numbered after it: the next run writes nothing rather than wrap round.
            const RunOutcome outcome = runAgain(false);
            EXPECT_TRUE(outcome.cause.contains(QLatin1String(c.refusal))) << outcome.cause.toStdString();
            EXPECT_EQ(state(), written);
        } else if (c.refusal) {
            EXPECT_THROW(Restore::plan(m_run, m_form, m_tree->settingsPath()), Failure);
            const Restore::Result result = restore(m_run, c.force);
            EXPECT_TRUE(result.outcome.cause.contains(QLatin1String(c.refusal))) << result.outcome.cause.toStdString();
            EXPECT_EQ(state(), written);
        } else {
            const Restore::Result result = restore(m_run, c.force);
            ASSERT_TRUE(result.outcome.succeeded) << result.outcome.cause.toStdString();
            EXPECT_EQ(m_tree->read(3), InstallationTree::oldContent(3));
            EXPECT_EQ(rows(Tables[2]), c.rowsRestored ? m_before[2] : AccountTables::updatedRows(Tables[2]));
            EXPECT_EQ(readFile(m_tree->settingsPath()), QByteArray(c.text).contains("server") ? QByteArray("[Settings]\r\nServerName=Before\r\n") : settings);
        }
        TearDown();
    }
}

// A run is undone as far as it went, also when it failed half-way and its record still says it is running;
// the restore checks every file it writes first, and holds the installation for rows alone too.
TEST_F(Restoring, EveryRunIsUndoneAsFarAsItWent)
{
    struct Case {
        const char *what;
        bool again;         // a second run is restored, not the first
        int filesThatFit;   // in the second run's backup; -1: all
        bool onlyTables;    // in the second run
        int deletedSince;   // a file target deleted after the run, put back with force; -1: none
        bool locked;        // another run holds the installation while the restore runs
    };
    const Case cases[] = {
        {"a run that failed half-way, its record left running", true, 2, false, -1, false},
        {"a file deleted since, forced", false, -1, false, 8, false},
        {"rows only, while another run holds the installation", true, -1, true, -1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (&c != cases)
            SetUp();
        QStringList initial;
        for (int target = FirstFileTarget; target < TargetCount; ++target)
            initial.append(QString::fromLatin1(InstallationTree::oldContent(target)));
        for (const QStringList &tableRows : m_before)
            initial += tableRows;
        const QStringList before = c.again ? state() : initial;
        QString run = m_run;
        if (c.again) {
            // A killed run left its temporary file: the next run removes it.
            const QString leftover = leaveTemporaryFileBeside(m_tree->filePath(4));
            BackupFolder folder(m_tree->settingsPath(), m_form);
            DiskFillingBackup filling(folder, c.filesThatFit);
            const RunOutcome outcome = runAgain(c.onlyTables, c.filesThatFit < 0 ? static_cast<Backup *>(&folder) : &filling);
            EXPECT_EQ(outcome.succeeded, c.filesThatFit < 0) << outcome.cause.toStdString();
            EXPECT_TRUE(leftover.isEmpty() || !QFileInfo::exists(leftover)) << leftover.toStdString();
            run = newestRun();
            ASSERT_NE(run, m_run);
        }
        if (c.deletedSince >= 0) {
            ASSERT_TRUE(QFile::remove(m_tree->filePath(c.deletedSince)));
        }
        const QStringList written = state();

        std::optional<InstallationLock> lock;
        if (c.locked)
            lock.emplace(RunScope::of(m_form, m_tree->settingsPath()).installation);
        const Restore::Result result = restore(run, c.deletedSince >= 0);

        EXPECT_EQ(result.outcome.succeeded, !c.locked) << result.outcome.cause.toStdString();
        EXPECT_EQ(state(), c.locked ? written : before);
        TearDown();
    }
}

// What the tool first changed stays kept apart, whatever runs, targets and settings files changed it since and
// however many runs were pruned meanwhile, and restoring it gives back the installation and the tables.
TEST(Originals, OutlastEveryPruneAndGiveBackTheInstallationAndTheTables)
{
    struct Case {
        const char *what;
        bool firstRunOfOneTable;
        bool twoSettingsFiles; // in one folder, each with an installation of its own, taking turns
    };
    const Case cases[] = {
        {"a first run of one table, then runs of every target", true, false},
        {"two settings files in one folder taking turns", false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestDatabase::execute(AccountTables::create());
        const InstallationTree trees[2];
        const QString settings[2] = {trees[0].settingsPath(), QFileInfo(trees[0].settingsPath()).absolutePath() + QStringLiteral("/realm2.ini")};
        Module1 module;
        FormValues forms[2];
        for (int realm = 0; realm < 2; ++realm)
            pointAtTestSystem(forms[realm], trees[realm]);
        for (int run = 0; run <= BackupFolder::KeptRuns + 2; ++run) {
            const int realm = c.twoSettingsFiles ? run % 2 : 0;
            forms[realm].setFieldText(Field::txtServerName, QStringLiteral("Run %1").arg(run));
            for (int target = 0; target < TargetCount; ++target)
                forms[realm].setTicked(target, !c.firstRunOfOneTable || run > 0 || target == 0);
            ASSERT_TRUE(runUpdateOnLoopback(forms[realm], module, settings[realm]).succeeded);
        }

        for (int realm = 0; realm < (c.twoSettingsFiles ? 2 : 1); ++realm) {
            for (const Restore::KeptRun &kept : Restore::keptRuns(settings[realm])) {
                const bool ofThisRealm = kept.record.kind == RunRecord::Kind::Database
                    || (kept.record.kind == RunRecord::Kind::Installation && kept.record.installation == RunScope::of(forms[realm], settings[realm]).installation);
                if (ofThisRealm) {
                    EXPECT_TRUE(Restore::restore(kept.folder, {}, false, false, forms[realm], module, settings[realm]).outcome.succeeded);
                }
            }
            for (int target = FirstFileTarget; target < TargetCount; ++target)
                EXPECT_EQ(trees[realm].read(target), InstallationTree::oldContent(target)) << "realm " << realm << ", target " << target;
        }
        for (const QString &table : Tables)
            EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), table), AccountTables::initialRows(table));
        TestDatabase::execute(AccountTables::drop());
    }
}

// Another session changes a row after the restore's plan read it and before the restore writes it: nothing is
// put back, and that change stays.
TEST_F(Restoring, ARowChangedAfterThePlanIsNotOverwritten)
{
    // The restore reads the password for its plan's connection, then for its own, just before it writes.
    class ChangingARowBeforeTheWrite : public FormValues {
    public:
        explicit ChangingARowBeforeTheWrite(const FormValues &form)
            : FormValues(form)
        {
        }
        QString fieldText(Field field) const override
        {
            if (field == Field::txtSQLPass && ++m_reads == 2)
                TestDatabase::execute({QStringLiteral("UPDATE TBL_SERVERINFO SET FLD_SERVERNAME = 'Meanwhile' WHERE FLD_ID = 1")});
            return FormValues::fieldText(field);
        }

    private:
        mutable int m_reads = 0;
    };
    QStringList expected = state();
    expected.last() = QStringLiteral("1|MIR3|Meanwhile|kept 6");

    const Restore::Result result = Restore::restore(m_run, {}, false, true, ChangingARowBeforeTheWrite(m_form), m_module, m_tree->settingsPath());

    EXPECT_TRUE(result.outcome.cause.endsWith(QStringLiteral("changed after the restore's plan read it; nothing was put back")))
        << result.outcome.cause.toStdString();
    EXPECT_EQ(state(), expected);
}

// Another session holds TBL_SERVERINFO while the restore reads it: the restore stops whole, leaving every file and
// row as the run left them, and does not put back the files beside rows it could not read.
TEST_F(Restoring, ARowTheServerCannotReadForALockStopsTheWholeRestore)
{
    if (LockHolder::waitingSessions() < 0)
        GTEST_SKIP() << "Babelfish's reads do not wait for a lock that another session holds";
    const QStringList expected = state();
    LockHolder holder({TestDatabase::either(QStringLiteral("LOCK TABLE TBL_SERVERINFO IN ACCESS EXCLUSIVE MODE"),
                                            QStringLiteral("SELECT * FROM TBL_SERVERINFO WITH (TABLOCKX, HOLDLOCK)"))});

    const Restore::Result result = restore(m_run, true);
    holder.release();

    EXPECT_FALSE(result.outcome.succeeded);
    EXPECT_TRUE(result.outcome.cause.startsWith(QStringLiteral("TBL_SERVERINFO was busy"))) << result.outcome.cause.toStdString();
    EXPECT_EQ(state(), expected);
}
