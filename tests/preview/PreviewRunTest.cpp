#include "database/AccountTables.h"
#include "database/DbConnection.h"
#include "preview/Preview.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

using Preview::TargetPreview;

const QStringList Tables{QStringLiteral("TBL_PUBIPS"), QStringLiteral("TBL_SELECTGATEIPS"), QStringLiteral("TBL_SERVERINFO")};

// The preview of a run against the shared test database and a temporary installation.
class RunPreviewTest : public testing::Test {
protected:
    void SetUp() override
    {
        TestDatabase::execute(AccountTables::create());
        pointAtTestSystem(m_form, m_tree);
        AccountTables::setNewValues(m_form);
        // Blanks around a value are trimmed for the tables, as the run trims them.
        m_form.setFieldText(Field::txtServerName, QStringLiteral(" New Realm "));
    }
    void TearDown() override { TestDatabase::execute(AccountTables::drop()); }

    void tickOnly(std::initializer_list<int> targets)
    {
        for (int target = 0; target < TargetCount; ++target)
            m_form.setTicked(target, std::find(targets.begin(), targets.end(), target) != targets.end());
    }

    void expectNothingChanged()
    {
        for (const QString &table : Tables)
            EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), table), AccountTables::initialRows(table)) << table.toStdString();
        for (int target = FirstFileTarget; target < TargetCount; ++target)
            EXPECT_EQ(m_tree.read(target), InstallationTree::oldContent(target)) << target;
    }

    static QString joined(const QStringList &lines) { return lines.join(QLatin1Char('\n')); }

    FormValues m_form;
    InstallationTree m_tree;
};

// A database target's preview on a connection whose server session the test watches.
class DatabaseTargetPreview : public RunPreviewTest {
protected:
    void SetUp() override
    {
        RunPreviewTest::SetUp();
        m_connection.OpenAccountDatabase(m_form);
    }
    void TearDown() override
    {
        m_connection.CloseConnection();
        RunPreviewTest::TearDown();
    }

    TargetPreview preview(int target) { return Preview::previewDatabaseTarget(target, Tables.at(target), m_form, m_connection); }

    // "idle" once every transaction has ended; "in a transaction" while one is left open.
    QString sessionState()
    {
        return TestDatabase::inTransaction(m_connection.database()) ? QStringLiteral("in a transaction") : QStringLiteral("idle");
    }

    DbConnection m_connection;
};

} // namespace

TEST_F(DatabaseTargetPreview, EachRowUpdateShowsTheRowAndEveryColumnOldToNew)
{
    const TargetPreview addresses = preview(0);
    EXPECT_EQ(addresses.heading(), QStringLiteral("TBL_PUBIPS: changes"));
    EXPECT_EQ(joined(addresses.lines),
              TestDatabase::reportedNames(QStringLiteral("    Select * From TBL_PUBIPS WHERE FLD_DESCRIPTION = 'LoginGW'\n"
                             "        row: FLD_ID = \"1\", FLD_DESCRIPTION = \"LoginGW\", FLD_PUBIP = \"192.0.2.1\", FLD_REMARK = \"kept 1\"\n"
                             "        FLD_PUBIP: \"192.0.2.1\" → \"127.0.0.1\"\n"
                             "    Select * From TBL_PUBIPS WHERE FLD_DESCRIPTION = 'LoginServer'\n"
                             "        row: FLD_ID = \"2\", FLD_DESCRIPTION = \"LoginServer\", FLD_PUBIP = \"192.0.2.2\", FLD_REMARK = \"kept 2\"\n"
                             "        FLD_PUBIP: \"192.0.2.2\" → \"198.51.100.7\"\n"
                             "    Select * From TBL_PUBIPS WHERE FLD_DESCRIPTION = 'SET1 DB Conn'\n"
                             "        row: FLD_ID = \"3\", FLD_DESCRIPTION = \"SET1 DB Conn\", FLD_PUBIP = \"192.0.2.3\", FLD_REMARK = \"kept 3\"\n"
                             "        FLD_PUBIP: \"192.0.2.3\" → \"127.0.0.1\"\n"
                             "    Select * From TBL_PUBIPS WHERE FLD_DESCRIPTION = 'SET1 GameSrv1'\n"
                             "        row: FLD_ID = \"4\", FLD_DESCRIPTION = \"SET1 GameSrv1\", FLD_PUBIP = \"192.0.2.4\", FLD_REMARK = \"kept 4\"\n"
                             "        FLD_PUBIP: \"192.0.2.4\" → \"127.0.0.1\"")));

    const TargetPreview gate = preview(1);
    EXPECT_EQ(gate.heading(), QStringLiteral("TBL_SELECTGATEIPS: changes"));
    EXPECT_EQ(joined(gate.lines),
              TestDatabase::reportedNames(QStringLiteral("    Select * From TBL_SELECTGATEIPS WHERE FLD_GAMETYPE = 'MIR3'\n"
                             "        row: FLD_ID = \"1\", FLD_GAMETYPE = \"MIR3\", FLD_IP = \"192.0.2.5\", FLD_NAME = \"Old Gate\", FLD_PORT = \"7100\", FLD_REMARK = \"kept 5\"\n"
                             "        FLD_IP: \"192.0.2.5\" → \"198.51.100.7\"\n"
                             "        FLD_NAME: \"Old Gate\" → \"New Realm\"\n"
                             "        FLD_PORT: \"7100\" → \"7777\"")));

    EXPECT_EQ(sessionState(), QStringLiteral("idle"));
    expectNothingChanged();
}

TEST_F(DatabaseTargetPreview, MissingRowIsTheCauseTheRunWouldMeet)
{
    TestDatabase::execute({QStringLiteral("DELETE FROM TBL_SELECTGATEIPS")});
    const TargetPreview gate = preview(1);
    EXPECT_EQ(gate.heading(), QStringLiteral("TBL_SELECTGATEIPS: would fail"));
    EXPECT_EQ(joined(gate.lines), QStringLiteral("    Select * From TBL_SELECTGATEIPS WHERE FLD_GAMETYPE = 'MIR3'\n"
                                                 "        fails: No row of TBL_SELECTGATEIPS matches WHERE FLD_GAMETYPE = 'MIR3'"));
    EXPECT_EQ(sessionState(), QStringLiteral("idle"));
}

TEST_F(DatabaseTargetPreview, MissingTableAndColumnAreTheCausesTheRunWouldMeet)
{
    TestDatabase::execute({QStringLiteral("DROP TABLE TBL_SERVERINFO"),
                           TestDatabase::either(QStringLiteral("ALTER TABLE TBL_PUBIPS RENAME COLUMN FLD_PUBIP TO FLD_ELSEWHERE"),
                                                QStringLiteral("EXEC sp_rename 'TBL_PUBIPS.FLD_PUBIP', 'FLD_ELSEWHERE', 'COLUMN'"))});

    const TargetPreview serverInfo = preview(2);
    EXPECT_EQ(serverInfo.outcome, TargetPreview::Outcome::Fails);
    // The driver's cause, which may run over several lines, each below the query.
    ASSERT_GE(serverInfo.lines.size(), 2);
    EXPECT_TRUE(serverInfo.lines.at(1).startsWith(QStringLiteral("        fails: "))) << joined(serverInfo.lines).toStdString();
    EXPECT_TRUE(joined(serverInfo.lines).contains(TestDatabase::either(QStringLiteral("\"tbl_serverinfo\" does not exist"), QStringLiteral("TBL_SERVERINFO"))))
        << joined(serverInfo.lines).toStdString();
    for (const QString &line : serverInfo.lines)
        EXPECT_TRUE(line.startsWith(QStringLiteral("    "))) << line.toStdString();
    EXPECT_EQ(sessionState(), QStringLiteral("idle"));

    // Every row update is shown, each with the cause the run would stop at.
    const TargetPreview addresses = preview(0);
    EXPECT_EQ(addresses.outcome, TargetPreview::Outcome::Fails);
    ASSERT_EQ(addresses.lines.size(), 4 * 3);
    EXPECT_EQ(addresses.lines.at(2), QStringLiteral("        fails: TBL_PUBIPS has no column FLD_PUBIP"));
    EXPECT_EQ(addresses.lines.at(11), QStringLiteral("        fails: TBL_PUBIPS has no column FLD_PUBIP"));
    EXPECT_EQ(sessionState(), QStringLiteral("idle"));
}

TEST_F(RunPreviewTest, ShowsTheTickedTargetsInRunOrderAndChangesNothing)
{
    tickOnly({3, 2});
    const Preview::RunPreview preview = Preview::previewRun(m_form, m_tree.settingsPath());
    const QString path = m_tree.filePath(3);
    EXPECT_EQ(joined(preview.lines()),
              TestDatabase::reportedNames(QStringLiteral("TBL_SERVERINFO: changes\n"
                             "    Select * From TBL_SERVERINFO WHERE FLD_GAMETYPE = 'MIR3'\n"
                             "        row: FLD_ID = \"1\", FLD_GAMETYPE = \"MIR3\", FLD_SERVERNAME = \"Old Server\", FLD_REMARK = \"kept 6\"\n"
                             "        FLD_SERVERNAME: \"Old Server\" → \"New Realm\"\n"
                             "\n"
                             "Mir3Server\\DBSvr\\!ServerInfo.txt: changes\n"
                             "--- "))
                  + path + QStringLiteral("\n+++ ") + path
                  + QStringLiteral(" (after the run)\n"
                                   "@@ -1 +1 @@\n"
                                   "-old content of target 3\n"
                                   "+127.0.0.1,198.51.100.7:7201,198.51.100.7:7202"));
    expectNothingChanged();
}

TEST_F(RunPreviewTest, AfterTheRunEveryTargetIsUnchanged)
{
    Module1 module;
    const RunOutcome outcome = runUpdateOnLoopback(m_form, module, m_tree.settingsPath());
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    for (int target = 0; target < TargetCount; ++target)
        m_form.setTicked(target, true);

    const Preview::RunPreview preview = Preview::previewRun(m_form, m_tree.settingsPath());
    ASSERT_EQ(preview.targets.size(), size_t(TargetCount));
    for (const TargetPreview &target : preview.targets)
        EXPECT_EQ(target.outcome, TargetPreview::Outcome::Unchanged) << target.heading().toStdString();
    EXPECT_EQ(preview.targets.at(2).lines.at(2), QStringLiteral("        FLD_SERVERNAME: \"New Realm\" (unchanged)"));
}

TEST_F(RunPreviewTest, UsesThePathTheRunWouldUseAndLeavesTheFieldAsTyped)
{
    const QString typed = m_tree.mud3Path().chopped(1);
    m_form.setFieldText(Field::txtMud3Path, typed);
    const Preview::RunPreview preview = Preview::previewRun(m_form, m_tree.settingsPath());

    ASSERT_EQ(preview.targets.size(), size_t(TargetCount));
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        EXPECT_EQ(preview.targets.at(size_t(target)).outcome, TargetPreview::Outcome::Changes) << target;
        EXPECT_EQ(preview.targets.at(size_t(target)).lines.at(0), QStringLiteral("--- ") + m_tree.filePath(target));
    }
    EXPECT_EQ(m_form.fieldText(Field::txtMud3Path), typed);
    for (int target = 0; target < TargetCount; ++target)
        EXPECT_TRUE(m_form.isTicked(target)) << target;
    EXPECT_FALSE(QFile::exists(m_tree.settingsPath()));
    expectNothingChanged();
}

TEST_F(RunPreviewTest, RefusedLoginStopsTheRunBeforeItsFirstTarget)
{
    m_form.setFieldText(Field::txtSQLPass, QStringLiteral("wrong"));
    tickOnly({0, 3});
    const Preview::RunPreview preview = Preview::previewRun(m_form, m_tree.settingsPath());

    EXPECT_FALSE(preview.connectionFailure.isEmpty());
    const QStringList lines = preview.lines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.at(0), QStringLiteral("The database connection cannot be opened; the run would stop before its first target."));
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("    fails: "))) << lines.at(1).toStdString();
    ASSERT_EQ(preview.targets.size(), size_t(2));
    EXPECT_EQ(preview.targets.at(0).heading(), QStringLiteral("TBL_PUBIPS: would fail"));
    EXPECT_EQ(preview.targets.at(0).lines, QStringList{QStringLiteral("    fails: the database connection cannot be opened")});
    // The files are still shown: what the run would write once the login is put right.
    EXPECT_EQ(preview.targets.at(1).outcome, TargetPreview::Outcome::Changes);
    expectNothingChanged();
}

TEST_F(RunPreviewTest, NamesTheTargetTheRunWouldStopAtAndShowsTheOthers)
{
    tickOnly({2, 5, 7, 9});
    ASSERT_TRUE(QFile::remove(m_tree.filePath(7)));
    const Preview::RunPreview preview = Preview::previewRun(m_form, m_tree.settingsPath());
    const QStringList lines = preview.lines();

    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.at(0), QStringLiteral("The run would stop before changing anything, at Mir3Server\\KLoginSvr\\Logsrv.ini; every target "
                                          "would keep its tick."));
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("    fails: \"") + m_tree.filePath(7) + QStringLiteral("\": "))) << lines.at(1).toStdString();
    EXPECT_EQ(lines.at(2), QString());
    QStringList headings;
    for (const TargetPreview &target : preview.targets)
        headings.append(target.heading());
    EXPECT_EQ(headings, (QStringList{QStringLiteral("TBL_SERVERINFO: changes"), QStringLiteral("Mir3Server\\KLoginSvr\\!AddrTable.txt: changes"),
                                     QStringLiteral("Mir3Server\\KLoginSvr\\Logsrv.ini: would fail"),
                                     QStringLiteral("Mir3Server\\RunGate01\\GameGate.ini: changes")}));
}

// What the preview says of a table is what the run then does, checked by running after previewing: a value
// the table refuses is where the run stops, and a value the table stores as it already was is no change.
TEST_F(RunPreviewTest, ThePreviewOfATableIsWhatTheRunThenDoes)
{
    struct Case {
        const char *what;
        QStringList setUp;
        Field field;
        QString value;
        TargetPreview::Outcome outcome; // of the target that the field reaches, failing also by the run's checks
        QString shown;                  // a line the preview shows, or nothing
    };
    const QString longName(60, QLatin1Char('n'));
    const Case cases[] = {
        {"letters in an integer column", {}, Field::txtSGPort, QStringLiteral("7105x"), TargetPreview::Outcome::Fails, {}},
        {"a number too large for the column", {}, Field::txtSGPort, QStringLiteral("99999999999"), TargetPreview::Outcome::Fails, {}},
        {"a name longer than its column", {}, Field::txtServerName, longName, TargetPreview::Outcome::Fails, {}},
        {"a control character, which the table would take", {}, Field::txtServerName, QStringLiteral("Realm\u0001"),
         TargetPreview::Outcome::Fails, {}},
        {"the row twice in a table without a key",
         {QStringLiteral("ALTER TABLE TBL_SELECTGATEIPS DROP CONSTRAINT PK_TBL_SELECTGATEIPS"),
          QStringLiteral("INSERT INTO TBL_SELECTGATEIPS SELECT * FROM TBL_SELECTGATEIPS")},
         Field::txtSGPort, QStringLiteral("7777"), TargetPreview::Outcome::Fails, {}},
        {"two rows of the condition, of which the run changes the first",
         {QStringLiteral("INSERT INTO TBL_SELECTGATEIPS VALUES (2, 'MIR3', '192.0.2.6', 'Other Gate', 7101, 'kept 7')")}, Field::txtSGPort,
         QStringLiteral("7777"), TargetPreview::Outcome::Changes, QStringLiteral("        (other rows match too; the run changes only this one)")},
        {"a port the column stores as the number it holds", {}, Field::txtSGPort, QStringLiteral("07100"),
         TargetPreview::Outcome::Changes, QStringLiteral("        FLD_PORT: \"7100\" (unchanged)")},
        {"a name a fixed-width column pads as it is padded",
         {TestDatabase::either(QStringLiteral("ALTER TABLE TBL_SERVERINFO ALTER COLUMN FLD_SERVERNAME TYPE char(20)"),
                               QStringLiteral("ALTER TABLE TBL_SERVERINFO ALTER COLUMN FLD_SERVERNAME char(20)"))},
         Field::txtServerName,
         QStringLiteral("Old Server"), TargetPreview::Outcome::Unchanged, QStringLiteral("        FLD_SERVERNAME: \"Old Server          \" (unchanged)")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestDatabase::execute(AccountTables::create() + c.setUp);
        const int target = c.field == Field::txtSGPort ? 1 : 2;
        tickOnly({target});
        m_form.setFieldText(c.field, c.value);
        const QStringList before = AccountTables::rows(TestDatabase::admin(), Tables.at(target));

        const Preview::RunPreview preview = Preview::previewRun(m_form, m_tree.settingsPath());
        ASSERT_EQ(preview.targets.size(), size_t(1));
        const TargetPreview &previewed = preview.targets.front();
        EXPECT_EQ(previewed.fails() ? TargetPreview::Outcome::Fails : previewed.outcome, c.outcome) << joined(previewed.lines).toStdString();
        if (!c.shown.isEmpty()) {
            EXPECT_TRUE(preview.targets.front().lines.contains(c.shown)) << joined(preview.targets.front().lines).toStdString();
        }
        EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), Tables.at(target)), before);

        Module1 module;
        const RunOutcome outcome = runUpdateOnLoopback(m_form, module, m_tree.settingsPath());
        EXPECT_EQ(outcome.succeeded, c.outcome != TargetPreview::Outcome::Fails) << outcome.cause.toStdString();
        if (c.outcome != TargetPreview::Outcome::Changes) {
            EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), Tables.at(target)), before);
        }
        m_form = FormValues();
        pointAtTestSystem(m_form, m_tree);
        AccountTables::setNewValues(m_form);
    }
}
