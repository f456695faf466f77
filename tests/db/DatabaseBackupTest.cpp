#include "AccountTables.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"
#include "update/Backup.h"
#include "update/CodePage.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

// The rows before the run: an apostrophe and a Chinese name, and a NULL, which the statements must put back as they were.
const QStringList UnusualOldValues = {
    QStringLiteral("UPDATE TBL_SERVERINFO SET FLD_SERVERNAME = 'O''Neil \u9F99\u57CE'"),
    QStringLiteral("UPDATE TBL_SELECTGATEIPS SET FLD_NAME = NULL"),
};

// database.txt after all three targets ran over those rows, in code page 936.
const QByteArray AllThreeTargetsKept = QByteArrayLiteral(
    "UPDATE TBL_PUBIPS SET FLD_PUBIP = '192.0.2.1' WHERE FLD_DESCRIPTION = 'LoginGW';\r\n"
    "UPDATE TBL_PUBIPS SET FLD_PUBIP = '192.0.2.2' WHERE FLD_DESCRIPTION = 'LoginServer';\r\n"
    "UPDATE TBL_PUBIPS SET FLD_PUBIP = '192.0.2.3' WHERE FLD_DESCRIPTION = 'SET1 DB Conn';\r\n"
    "UPDATE TBL_PUBIPS SET FLD_PUBIP = '192.0.2.4' WHERE FLD_DESCRIPTION = 'SET1 GameSrv1';\r\n"
    "UPDATE TBL_SELECTGATEIPS SET FLD_IP = '192.0.2.5' WHERE FLD_GAMETYPE = 'MIR3';\r\n"
    "UPDATE TBL_SELECTGATEIPS SET FLD_NAME = NULL WHERE FLD_GAMETYPE = 'MIR3';\r\n"
    "UPDATE TBL_SELECTGATEIPS SET FLD_PORT = '7100' WHERE FLD_GAMETYPE = 'MIR3';\r\n"
    "UPDATE TBL_SERVERINFO SET FLD_SERVERNAME = 'O''Neil \xC1\xFA\xB3\xC7' WHERE FLD_GAMETYPE = 'MIR3';\r\n");

// Runs of the database targets only, against the shared test database.
class DatabaseBackup : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestDatabase::execute(AccountTables::create());
        pointAtTestSystem(form, tree);
        AccountTables::setNewValues(form);
        AccountTables::tickOnlyDatabaseTargets(form);
    }
    void TearDown() override { TestDatabase::execute(AccountTables::drop()); }

    RunOutcome run() { return runUpdateOnLoopback(form, module, tree.settingsPath()); }

    QString backups() const { return Backup::backupsFolderOf(tree.settingsPath()); }
    // database.txt of the one backup folder.
    QByteArray keptRows() const
    {
        const QStringList folders = QDir(backups()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (folders.size() != 1) {
            ADD_FAILURE() << "backup folders: " << folders.join(QStringLiteral(", ")).toStdString();
            return {};
        }
        return readFile(backups() + QLatin1Char('/') + folders.first() + QStringLiteral("/database.txt"));
    }

    static QStringList rows(const char *table) { return AccountTables::rows(TestDatabase::admin(), QLatin1String(table)); }

    InstallationTree tree;
    FormModel form;
    Module1 module;
};

} // namespace

TEST_F(DatabaseBackup, KeepsTheOldValueOfEveryColumnWrittenAndTheStatementsPutThemBack)
{
    TestDatabase::execute(UnusualOldValues);
    const QStringList before[] = {rows("TBL_PUBIPS"), rows("TBL_SELECTGATEIPS"), rows("TBL_SERVERINFO")};
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    ASSERT_EQ(rows("TBL_PUBIPS"), AccountTables::updatedRows(QStringLiteral("TBL_PUBIPS")));

    const QByteArray kept = keptRows();
    EXPECT_EQ(kept, AllThreeTargetsKept) << firstDifferentLine(kept, AllThreeTargetsKept);

    // Restoring is running the statements.
    TestDatabase::execute(CodePage::decode(kept).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts));
    EXPECT_EQ(rows("TBL_PUBIPS"), before[0]);
    EXPECT_EQ(rows("TBL_SELECTGATEIPS"), before[1]);
    EXPECT_EQ(rows("TBL_SERVERINFO"), before[2]);
}

TEST_F(DatabaseBackup, FailedTargetKeepsTheRowsChangedBeforeTheFailure)
{
    TestDatabase::execute({QStringLiteral("DELETE FROM TBL_PUBIPS WHERE FLD_DESCRIPTION = 'SET1 DB Conn'")});
    ASSERT_FALSE(run().succeeded);
    const QByteArray expected = QByteArrayLiteral(
        "UPDATE TBL_PUBIPS SET FLD_PUBIP = '192.0.2.1' WHERE FLD_DESCRIPTION = 'LoginGW';\r\n"
        "UPDATE TBL_PUBIPS SET FLD_PUBIP = '192.0.2.2' WHERE FLD_DESCRIPTION = 'LoginServer';\r\n");
    EXPECT_EQ(keptRows(), expected);
}

TEST_F(DatabaseBackup, BackupThatCannotBeWrittenChangesNoRow)
{
    QFile blocker(backups());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the backup folder belongs
    blocker.close();

    const RunOutcome outcome = run();

    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataTBL_PUBIPSCannot be found, check IP Adress, and SQL Password"));
    EXPECT_TRUE(outcome.cause.startsWith(backups() + QStringLiteral(": "))) << outcome.cause.toStdString();
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
        EXPECT_EQ(rows(table), AccountTables::initialRows(QLatin1String(table))) << table;
    EXPECT_TRUE(form.isTicked(0));
    EXPECT_FALSE(module.dbRecordset.isOpen());
    EXPECT_NE(module.dbConnection.state(), DbConnection::State::Open);
}
