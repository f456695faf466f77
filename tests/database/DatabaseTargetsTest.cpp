#include "AccountTables.h"
#include "platform/CodePage.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"
#include "update/BackupFolder.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

const QString DatabaseContext = QStringLiteral("Cannot be found, check IP Adress, and SQL Password");

QString failureMessage(const char *table)
{
    return QStringLiteral("Error Reading Data") + QLatin1String(table) + DatabaseContext;
}

} // namespace

// Runs of the three database targets against the shared test database; the file targets stay unticked.
class DatabaseTargets : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestDatabase::execute(AccountTables::create());
        pointAtTestSystem(form, tree);
        AccountTables::setNewValues(form);
        AccountTables::tickOnlyDatabaseTargets(form);
    }
    void TearDown() override { TestDatabase::execute(AccountTables::drop()); }

    RunOutcome run() { return run(tree); }
    RunOutcome run(const InstallationTree &on) { return runUpdateOnLoopback(form, module, on.settingsPath()); }

    static QStringList rows(const char *table) { return AccountTables::rows(TestDatabase::admin(), QLatin1String(table)); }
    static QStringList initial(const char *table) { return AccountTables::initialRows(QLatin1String(table)); }
    static QStringList updated(const char *table) { return AccountTables::updatedRows(QLatin1String(table)); }

    // The ticks of targets 0 to 2.
    QList<bool> ticks() const { return {form.isTicked(0), form.isTicked(1), form.isTicked(2)}; }

    void expectFailedRun(const RunOutcome &outcome, const char *table)
    {
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_EQ(outcome.message, failureMessage(table));
        EXPECT_FALSE(QFile::exists(tree.settingsPath()));
        EXPECT_NE(module.dbConnection.state(), DbConnection::State::Open);
    }

    InstallationTree tree;
    FormValues form;
    Module1 module;
};

TEST_F(DatabaseTargets, AllThreeWriteTheirRowsAndLeaveOtherColumnsAlone)
{
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_EQ(rows("TBL_PUBIPS"), updated("TBL_PUBIPS"));
    EXPECT_EQ(rows("TBL_SELECTGATEIPS"), updated("TBL_SELECTGATEIPS"));
    EXPECT_EQ(rows("TBL_SERVERINFO"), updated("TBL_SERVERINFO"));
    EXPECT_EQ(ticks(), QList<bool>({false, false, false}));
    EXPECT_TRUE(QFile::exists(tree.settingsPath()));
    EXPECT_EQ(module.dbConnection.state(), DbConnection::State::Absent);
    EXPECT_FALSE(module.dbRecordset.isOpen());
}

// Each target alone runs with the other two tables dropped: it reads no table but its own.
TEST_F(DatabaseTargets, TargetZeroAloneTouchesOnlyTheAddressTable)
{
    TestDatabase::execute({QStringLiteral("DROP TABLE TBL_SELECTGATEIPS"), QStringLiteral("DROP TABLE TBL_SERVERINFO")});
    form.setTicked(1, false);
    form.setTicked(2, false);
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_EQ(rows("TBL_PUBIPS"), updated("TBL_PUBIPS"));
    EXPECT_EQ(ticks(), QList<bool>({false, false, false}));
}

TEST_F(DatabaseTargets, TargetOneAloneTouchesOnlyTheSelectGateTable)
{
    TestDatabase::execute({QStringLiteral("DROP TABLE TBL_PUBIPS"), QStringLiteral("DROP TABLE TBL_SERVERINFO")});
    form.setTicked(0, false);
    form.setTicked(2, false);
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_EQ(rows("TBL_SELECTGATEIPS"), updated("TBL_SELECTGATEIPS"));
    EXPECT_EQ(ticks(), QList<bool>({false, false, false}));
}

TEST_F(DatabaseTargets, TargetTwoAloneTouchesOnlyTheServerInfoTable)
{
    TestDatabase::execute({QStringLiteral("DROP TABLE TBL_PUBIPS"), QStringLiteral("DROP TABLE TBL_SELECTGATEIPS")});
    form.setTicked(0, false);
    form.setTicked(1, false);
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_EQ(rows("TBL_SERVERINFO"), updated("TBL_SERVERINFO"));
    EXPECT_EQ(ticks(), QList<bool>({false, false, false}));
}

TEST_F(DatabaseTargets, ConditionMatchingTwoRowsChangesOnlyOneOfThem)
{
    TestDatabase::execute({
        QStringLiteral("INSERT INTO TBL_SELECTGATEIPS VALUES (2, 'MIR3', '192.0.2.6', 'Second Gate', 7200, 'kept 7')"),
        QStringLiteral("INSERT INTO TBL_SERVERINFO VALUES (2, 'MIR3', 'Second Server', 'kept 8')"),
    });
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();

    // Which of the two comes first is the server's choice; exactly one changes, the other keeps its values.
    const QStringList gates = rows("TBL_SELECTGATEIPS");
    const QStringList firstGateChanged = {QStringLiteral("1|MIR3|198.51.100.7|New Realm|7777|kept 5"),
                                          QStringLiteral("2|MIR3|192.0.2.6|Second Gate|7200|kept 7")};
    const QStringList secondGateChanged = {QStringLiteral("1|MIR3|192.0.2.5|Old Gate|7100|kept 5"),
                                           QStringLiteral("2|MIR3|198.51.100.7|New Realm|7777|kept 7")};
    EXPECT_TRUE(gates == firstGateChanged || gates == secondGateChanged) << gates.join(QStringLiteral(" / ")).toStdString();

    const QStringList servers = rows("TBL_SERVERINFO");
    const QStringList firstServerChanged = {QStringLiteral("1|MIR3|New Realm|kept 6"), QStringLiteral("2|MIR3|Second Server|kept 8")};
    const QStringList secondServerChanged = {QStringLiteral("1|MIR3|Old Server|kept 6"), QStringLiteral("2|MIR3|New Realm|kept 8")};
    EXPECT_TRUE(servers == firstServerChanged || servers == secondServerChanged) << servers.join(QStringLiteral(" / ")).toStdString();
}

// The row updates of all ticked tables are made in one transaction: any of them that fails leaves every row
// as it was, every tick set, and no backup, whatever table and row update it is.
TEST_F(DatabaseTargets, AnyFailingRowUpdateLeavesEveryRowAsItWasAndEveryTickSet)
{
    struct Case {
        const char *what;
        QStringList setUp;
        Field field;
        QString value;
        const char *table; // of the failure message
        QString cause;     // a part of it
    };
    const QString keylessServerInfo =
        QStringLiteral("CREATE TABLE TBL_SERVERINFO (FLD_ID integer, FLD_GAMETYPE varchar(10), FLD_SERVERNAME varchar(50), FLD_REMARK varchar(50))");
    const Case cases[] = {
        {"no row of the condition", {QStringLiteral("UPDATE TBL_SERVERINFO SET FLD_GAMETYPE = 'MIR2'")}, Field::txtSGPort, QStringLiteral("7777"),
         "TBL_SERVERINFO", QStringLiteral("No row of TBL_SERVERINFO matches WHERE FLD_GAMETYPE = 'MIR3'")},
        {"the third address row missing", {QStringLiteral("DELETE FROM TBL_PUBIPS WHERE FLD_DESCRIPTION = 'SET1 DB Conn'")}, Field::txtSGPort,
         QStringLiteral("7777"), "TBL_PUBIPS", QStringLiteral("No row of TBL_PUBIPS matches WHERE FLD_DESCRIPTION = 'SET1 DB Conn'")},
        {"a missing table", {QStringLiteral("DROP TABLE TBL_SELECTGATEIPS")}, Field::txtSGPort, QStringLiteral("7777"), "TBL_SELECTGATEIPS",
         TestDatabase::either(QStringLiteral("relation \"tbl_selectgateips\" does not exist"), QStringLiteral("TBL_SELECTGATEIPS"))},
        {"a missing column", {QStringLiteral("ALTER TABLE TBL_SELECTGATEIPS DROP COLUMN FLD_NAME")}, Field::txtSGPort, QStringLiteral("7777"),
         "TBL_SELECTGATEIPS", QStringLiteral("TBL_SELECTGATEIPS has no column FLD_NAME")},
        {"a value the column refuses", {}, Field::txtSGPort, QStringLiteral("71o5"), "TBL_SELECTGATEIPS",
         TestDatabase::either(QStringLiteral("invalid input syntax for type integer"), QStringLiteral("71o5"))},
        {"an address too long for its column, at the second row update", {}, Field::txtExternalIP, QStringLiteral("2001:db8::1234:5678"),
         "TBL_PUBIPS", TestDatabase::either(QStringLiteral("value too long"), QString())},
        {"a row made the same as another in a table without a key",
         {QStringLiteral("DROP TABLE TBL_PUBIPS"),
          QStringLiteral("CREATE TABLE TBL_PUBIPS (FLD_DESCRIPTION varchar(50), FLD_PUBIP varchar(15))"),
          QStringLiteral("INSERT INTO TBL_PUBIPS VALUES ('LoginGW', '192.0.2.1'), ('LoginGW', '127.0.0.1')")},
         Field::txtSGPort, QStringLiteral("7777"), "TBL_PUBIPS",
         QStringLiteral("The update would make the row of TBL_PUBIPS the same as another row of it")},
        {"two identical rows in a table without a key",
         {QStringLiteral("DROP TABLE TBL_SERVERINFO"), keylessServerInfo,
          QStringLiteral("INSERT INTO TBL_SERVERINFO VALUES (1, 'MIR3', 'Old Server', 'twin'), (1, 'MIR3', 'Old Server', 'twin')")},
         Field::txtSGPort, QStringLiteral("7777"), "TBL_SERVERINFO",
         QStringLiteral("The update of TBL_SERVERINFO would have changed 2 rows instead of the one row read; nothing was written")},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    // SQL Server takes an empty text for the integer 0, and holds any text in varchar that PostgreSQL does not.
    if (!TestDatabase::isTSql())
        all.push_back({"an empty value the column refuses", {}, Field::txtSGPort, QStringLiteral("   "), "TBL_SELECTGATEIPS", QString()});
    else
        all.push_back({"a name that a varchar column's code page cannot hold",
                       {QStringLiteral("ALTER TABLE TBL_SERVERINFO ALTER COLUMN FLD_SERVERNAME varchar(50)")}, Field::txtServerName,
                       QStringLiteral("墨潮"), "TBL_SERVERINFO",
                       QStringLiteral("The column FLD_SERVERNAME of TBL_SERVERINFO cannot hold \"墨潮\": it would hold \"??\"")});
    for (const Case &c : all) {
        SCOPED_TRACE(c.what);
        TestDatabase::execute(AccountTables::create() + c.setUp);
        InstallationTree caseTree;
        pointAtTestSystem(form, caseTree);
        AccountTables::setNewValues(form);
        AccountTables::tickOnlyDatabaseTargets(form);
        form.setFieldText(c.field, c.value);
        const QStringList before[] = {rows("TBL_PUBIPS"), rows("TBL_SELECTGATEIPS"), rows("TBL_SERVERINFO")};

        const RunOutcome outcome = run(caseTree);

        EXPECT_FALSE(outcome.succeeded);
        EXPECT_EQ(outcome.message, failureMessage(c.table));
        EXPECT_TRUE(outcome.cause.contains(c.cause)) << outcome.cause.toStdString();
        EXPECT_EQ(rows("TBL_PUBIPS"), before[0]);
        EXPECT_EQ(rows("TBL_SELECTGATEIPS"), before[1]);
        EXPECT_EQ(rows("TBL_SERVERINFO"), before[2]);
        EXPECT_EQ(ticks(), QList<bool>({true, true, true}));
        EXPECT_FALSE(QFile::exists(caseTree.settingsPath()));
        EXPECT_TRUE(QDir(BackupFolder::backupsFolderOf(caseTree.settingsPath())).isEmpty());
        EXPECT_NE(module.dbConnection.state(), DbConnection::State::Open);
    }
}

TEST_F(DatabaseTargets, EmptyFieldIsWrittenAsEmptyTextNotAsNull)
{
    form.setFieldText(Field::txtServerName, QString());
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_EQ(rows("TBL_SELECTGATEIPS"), QStringList{QStringLiteral("1|MIR3|198.51.100.7||7777|kept 5")});
    EXPECT_EQ(rows("TBL_SERVERINFO"), QStringList{QStringLiteral("1|MIR3||kept 6")});
}

TEST_F(DatabaseTargets, SpacesAroundAValueAreTrimmedAndInnerSpacesAndTabsKept)
{
    form.setFieldText(Field::txtExternalIP, QStringLiteral("  198.51.100.7 "));
    form.setFieldText(Field::txtServerName, QStringLiteral("  New   Realm\t "));
    form.setFieldText(Field::txtSGPort, QStringLiteral(" 7777  "));
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_EQ(rows("TBL_PUBIPS"), updated("TBL_PUBIPS"));
    EXPECT_EQ(rows("TBL_SELECTGATEIPS"), QStringList{QStringLiteral("1|MIR3|198.51.100.7|New   Realm\t|7777|kept 5")});
    EXPECT_EQ(rows("TBL_SERVERINFO"), QStringList{QStringLiteral("1|MIR3|New   Realm\t|kept 6")});
    // The field itself keeps what was typed.
    EXPECT_EQ(form.fieldText(Field::txtServerName), QStringLiteral("  New   Realm\t "));
}

TEST_F(DatabaseTargets, QuoteAndSemicolonInAValueAreWrittenVerbatim)
{
    const QString name = QStringLiteral("O'Hara's; DROP TABLE TBL_SERVERINFO; --");
    form.setFieldText(Field::txtServerName, name);
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_EQ(rows("TBL_SELECTGATEIPS"), QStringList{QStringLiteral("1|MIR3|198.51.100.7|") + name + QStringLiteral("|7777|kept 5")});
    EXPECT_EQ(rows("TBL_SERVERINFO"), QStringList{QStringLiteral("1|MIR3|") + name + QStringLiteral("|kept 6")});
}

TEST_F(DatabaseTargets, NonAsciiNameArrivesUnchanged)
{
    form.setFieldText(Field::txtServerName, QStringLiteral("传奇 世界"));
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_EQ(rows("TBL_SERVERINFO"), QStringList{QStringLiteral("1|MIR3|传奇 世界|kept 6")});
}

TEST_F(DatabaseTargets, SecondRunWithTheSameValuesWritesEveryRowAgain)
{
    if (TestDatabase::isTSql())
        GTEST_SKIP() << "a row's version is PostgreSQL's xmin";
    const auto versions = [] {
        QStringList result;
        for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"}) {
            QSqlQuery query(TestDatabase::admin());
            query.setForwardOnly(true);
            // xmin names the transaction that wrote the row's current version.
            EXPECT_TRUE(query.exec(QStringLiteral("SELECT xmin::text FROM ") + QLatin1String(table) + QStringLiteral(" ORDER BY FLD_ID")));
            while (query.next())
                result.append(query.value(0).toString());
        }
        return result;
    };
    ASSERT_TRUE(run().succeeded);
    const QStringList afterFirst = versions();
    AccountTables::tickOnlyDatabaseTargets(form);
    const RunOutcome second = run();
    ASSERT_TRUE(second.succeeded) << second.cause.toStdString();
    const QStringList afterSecond = versions();

    EXPECT_EQ(rows("TBL_PUBIPS"), updated("TBL_PUBIPS"));
    EXPECT_EQ(rows("TBL_SELECTGATEIPS"), updated("TBL_SELECTGATEIPS"));
    EXPECT_EQ(rows("TBL_SERVERINFO"), updated("TBL_SERVERINFO"));
    ASSERT_EQ(afterFirst.size(), 6);
    ASSERT_EQ(afterSecond.size(), 6);
    for (int row = 0; row < 6; ++row)
        EXPECT_NE(afterFirst.at(row), afterSecond.at(row)) << "row " << row << " was not written again";
}

TEST_F(DatabaseTargets, ColumnsAreFoundWithoutRegardToTheirCase)
{
    TestDatabase::execute({
        QStringLiteral("DROP TABLE TBL_SERVERINFO"),
        QStringLiteral("CREATE TABLE TBL_SERVERINFO (\"Fld_Id\" integer PRIMARY KEY, FLD_GAMETYPE varchar(10), "
                       "\"Fld_ServerName\" varchar(50), FLD_REMARK varchar(50))"),
        QStringLiteral("INSERT INTO TBL_SERVERINFO VALUES (1, 'MIR3', 'Old Server', 'kept 6')"),
    });
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_EQ(rows("TBL_SERVERINFO"), updated("TBL_SERVERINFO"));
}

// Without a key the row is addressed by all of its values, NULLs included.
TEST_F(DatabaseTargets, TableWithoutKeyChangesTheOneRowRead)
{
    TestDatabase::execute({
        QStringLiteral("DROP TABLE TBL_SERVERINFO"),
        QStringLiteral("CREATE TABLE TBL_SERVERINFO (FLD_ID integer, FLD_GAMETYPE varchar(10), FLD_SERVERNAME varchar(50), FLD_REMARK varchar(50))"),
        QStringLiteral("INSERT INTO TBL_SERVERINFO VALUES (1, 'MIR3', 'Old Server', NULL), (2, 'MIR2', 'Old Server', NULL)"),
    });
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_EQ(rows("TBL_SERVERINFO"), QStringList({QStringLiteral("1|MIR3|New Realm|<null>"), QStringLiteral("2|MIR2|Old Server|<null>")}));
}

TEST_F(DatabaseTargets, FailedTargetIsDoneWholeByTheNextRun)
{
    TestDatabase::execute({QStringLiteral("DELETE FROM TBL_PUBIPS WHERE FLD_DESCRIPTION = 'SET1 GameSrv1'")});
    ASSERT_FALSE(run().succeeded);
    EXPECT_EQ(ticks(), QList<bool>({true, true, true}));

    TestDatabase::execute({QStringLiteral("INSERT INTO TBL_PUBIPS VALUES (4, 'SET1 GameSrv1', '192.0.2.4', 'kept 4')"),
                           QStringLiteral("UPDATE TBL_PUBIPS SET FLD_PUBIP = '192.0.2.99' WHERE FLD_ID = 1")});
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_EQ(rows("TBL_PUBIPS"), updated("TBL_PUBIPS"));
    EXPECT_EQ(ticks(), QList<bool>({false, false, false}));
}

namespace {

// The rows before the run: an apostrophe and a Chinese name, and a NULL, which the statements must put back as they were.
const QStringList UnusualOldValues = {
    QStringLiteral("UPDATE TBL_SERVERINFO SET FLD_SERVERNAME = 'O''Neil \u9F99\u57CE'"),
    QStringLiteral("UPDATE TBL_SELECTGATEIPS SET FLD_NAME = NULL"),
};

// database.txt after all three targets ran over those rows: UTF-8 with a byte-order mark, each row found by its key.
const QByteArray AllThreeTargetsKept = QByteArrayLiteral(
    "\xEF\xBB\xBF"
    "UPDATE TBL_PUBIPS SET FLD_PUBIP = N'192.0.2.1' WHERE fld_id = 1;\r\n"
    "UPDATE TBL_PUBIPS SET FLD_PUBIP = N'192.0.2.2' WHERE fld_id = 2;\r\n"
    "UPDATE TBL_PUBIPS SET FLD_PUBIP = N'192.0.2.3' WHERE fld_id = 3;\r\n"
    "UPDATE TBL_PUBIPS SET FLD_PUBIP = N'192.0.2.4' WHERE fld_id = 4;\r\n"
    "UPDATE TBL_SELECTGATEIPS SET FLD_IP = N'192.0.2.5', FLD_NAME = NULL, FLD_PORT = 7100 WHERE fld_id = 1;\r\n"
    "UPDATE TBL_SERVERINFO SET FLD_SERVERNAME = N'O''Neil \xE9\xBE\x99\xE5\x9F\x8E' WHERE fld_id = 1;\r\n");

QString backups(const InstallationTree &tree)
{
    return BackupFolder::backupsFolderOf(tree.settingsPath());
}

// database.txt of the one backup folder beside the tree's settings.
QByteArray keptRows(const InstallationTree &tree)
{
    QStringList folders = QDir(backups(tree)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    folders.removeAll(BackupFolder::OriginalsFolder);
    if (folders.size() != 1) {
        ADD_FAILURE() << "backup folders: " << folders.join(QStringLiteral(", ")).toStdString();
        return {};
    }
    return readFile(backups(tree) + QLatin1Char('/') + folders.first() + QStringLiteral("/database.txt"));
}

} // namespace

// Restoring is running the statements: they put back exactly the rows the run changed, whatever the old
// values, and no other row that its condition matches.
TEST_F(DatabaseTargets, DatabaseTextPutsBackExactlyTheRowsTheRunChanged)
{
    const std::pair<const char *, QStringList> cases[] = {
        {"a NULL, an apostrophe and Chinese", UnusualOldValues},
        {"letters outside code page 936", {QStringLiteral("UPDATE TBL_SERVERINFO SET FLD_SERVERNAME = 'Stra\u00DFe \u00D8'")}},
        {"two rows of the condition, found by their key", {QStringLiteral("INSERT INTO TBL_SERVERINFO VALUES (2, 'MIR3', 'Second', 'kept 7')")}},
        {"two rows of the condition in a table without a key",
         {QStringLiteral("ALTER TABLE TBL_SELECTGATEIPS DROP CONSTRAINT PK_TBL_SELECTGATEIPS"),
          QStringLiteral("INSERT INTO TBL_SELECTGATEIPS VALUES (2, 'MIR3', '192.0.2.6', 'Other Gate', 7101, 'kept 7')")}},
    };
    for (const auto &[what, setUp] : cases) {
        SCOPED_TRACE(what);
        TestDatabase::execute(AccountTables::create() + setUp);
        InstallationTree caseTree;
        pointAtTestSystem(form, caseTree);
        AccountTables::tickOnlyDatabaseTargets(form);
        const QStringList before[] = {rows("TBL_PUBIPS"), rows("TBL_SELECTGATEIPS"), rows("TBL_SERVERINFO")};
        const RunOutcome outcome = run(caseTree);
        ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
        ASSERT_EQ(rows("TBL_PUBIPS"), updated("TBL_PUBIPS"));

        const QByteArray kept = keptRows(caseTree);
        if (setUp == UnusualOldValues) {
            const QByteArray expected = QByteArray(AllThreeTargetsKept).replace("fld_id", TestDatabase::isTSql() ? "[FLD_ID]" : "\"fld_id\"");
            EXPECT_EQ(kept, expected) << firstDifferentLine(kept, expected);
        }
        ASSERT_TRUE(kept.startsWith("\xEF\xBB\xBF"));
        const QStringList statements = QString::fromUtf8(kept.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        EXPECT_EQ(statements.size(), 6);
        TestDatabase::execute(statements);
        EXPECT_EQ(rows("TBL_PUBIPS"), before[0]);
        EXPECT_EQ(rows("TBL_SELECTGATEIPS"), before[1]);
        EXPECT_EQ(rows("TBL_SERVERINFO"), before[2]);
    }
}

// A run that a check stops changes nothing at all: no row, no file, no backup, every tick kept.
TEST_F(DatabaseTargets, ACheckThatFailsLeavesEveryRowFileAndTick)
{
    struct Case {
        const char *what;
        Field field;
        QString value;
        int missingFile;  // a file target whose file is gone, or 0
        QString message;
    };
    const Case cases[] = {
        {"a character the code page lacks", Field::txtServerName, QStringLiteral("Stra\u00DFe"), 0,
         QStringLiteral("Error Reading DataMir3Server\\DBSvr\\Setup.ini")},
        {"a control character", Field::txtServerName, QStringLiteral("New\u0000Realm"), 0, failureMessage("TBL_SELECTGATEIPS")},
        {"a missing file late in the run", Field::txtServerName, QStringLiteral("New Realm"), 12,
         QStringLiteral("Error Reading DataSetup\\!RunAddr.txt")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        InstallationTree caseTree;
        pointAtTestSystem(form, caseTree);
        for (int target = 0; target < TargetCount; ++target)
            form.setTicked(target, true);
        form.setFieldText(c.field, c.value);
        if (c.missingFile > 0) {
            ASSERT_TRUE(QFile::remove(caseTree.filePath(c.missingFile)));
        }

        const RunOutcome outcome = run(caseTree);

        EXPECT_EQ(outcome.message, c.message) << outcome.cause.toStdString();
        for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
            EXPECT_EQ(rows(table), initial(table)) << table;
        for (int target = 0; target < TargetCount; ++target) {
            EXPECT_TRUE(form.isTicked(target)) << "target " << target;
            if (target >= FirstFileTarget && target != c.missingFile) {
                EXPECT_EQ(caseTree.read(target), InstallationTree::oldContent(target)) << "target " << target;
            }
        }
        EXPECT_FALSE(QFile::exists(caseTree.settingsPath()));
        EXPECT_FALSE(QFile::exists(backups(caseTree)));
    }
}

TEST_F(DatabaseTargets, BackupThatCannotBeWrittenChangesNoRow)
{
    QFile blocker(backups(tree));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the backup folder belongs
    blocker.close();

    const RunOutcome outcome = run();

    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_TRUE(outcome.cause.startsWith(QLatin1Char('"') + QDir::toNativeSeparators(backups(tree)) + QStringLiteral("\": This is a file, not a folder")))
        << outcome.cause.toStdString();
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
        EXPECT_EQ(rows(table), AccountTables::initialRows(QLatin1String(table))) << table;
    EXPECT_TRUE(form.isTicked(0));
    EXPECT_FALSE(module.dbRecordset.isOpen());
    EXPECT_NE(module.dbConnection.state(), DbConnection::State::Open);
}
