#include "AccountTables.h"
#include "LockHolder.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"

#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>
#include <iostream>

// Another session holds the row that the first row update of TBL_PUBIPS writes. The run gives up after
// its bounded wait, reports the table as busy and writes nothing.
TEST(LockWait, RowLockedByAnotherSessionFailsTheTargetAsBusyAfterAboutThirtySeconds)
{
    TestDatabase::execute(AccountTables::create());
    InstallationTree tree;
    FormValues form;
    pointAtTestSystem(form, tree);
    AccountTables::setNewValues(form);
    AccountTables::tickOnlyDatabaseTargets(form);
    Module1 module;

    LockHolder holder({QStringLiteral("UPDATE TBL_PUBIPS SET FLD_REMARK = 'held' WHERE FLD_DESCRIPTION = 'LoginGW'")});
    QElapsedTimer timer;
    timer.start();
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    const qint64 elapsed = timer.elapsed();
    const int stillWaiting = LockHolder::waitingSessions();
    holder.release();
    std::cout << "[ measured ] a locked row failed the run after " << elapsed << " ms" << std::endl;

    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataTBL_PUBIPSCannot be found, check IP Adress, and SQL Password"));
    EXPECT_TRUE(outcome.cause.startsWith(QStringLiteral("TBL_PUBIPS was busy: no answer within 30 seconds"))) << outcome.cause.toStdString();
    EXPECT_GE(elapsed, 29000);
    EXPECT_LE(elapsed, 40000);
    if (stillWaiting >= 0) {
        EXPECT_EQ(stillWaiting, 0);
    }
    EXPECT_NE(module.dbConnection.state(), DbConnection::State::Open);
    for (int target = 0; target < TargetCount; ++target)
        EXPECT_EQ(form.isTicked(target), target < FirstFileTarget) << target;
    EXPECT_FALSE(QFile::exists(tree.settingsPath()));
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
        EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), QLatin1String(table)), AccountTables::initialRows(QLatin1String(table)));
    TestDatabase::execute(AccountTables::drop());
}
