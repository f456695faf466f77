// Putting back a kept run against a temporary installation and the shared test database.
#include "database/AccountTables.h"
#include "faults/TreeState.h"
#include "restore/Restore.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <algorithm>
#include <memory>

namespace {

const QStringList Tables{QStringLiteral("TBL_PUBIPS"), QStringLiteral("TBL_SELECTGATEIPS"), QStringLiteral("TBL_SERVERINFO")};

// A run over a fresh installation and fresh tables, kept in m_run.
class Restoring : public testing::Test {
protected:
    void SetUp() override
    {
        TestDatabase::execute(AccountTables::create());
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

    std::unique_ptr<InstallationTree> m_tree;
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
        EXPECT_EQ(rows(Tables[0]), AccountTables::initialRows(Tables[0]));
        EXPECT_EQ(rows(Tables[2]), c.restored ? AccountTables::initialRows(Tables[2]) : QStringList{QStringLiteral("1|MIR3|Edited|kept 6")});
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
