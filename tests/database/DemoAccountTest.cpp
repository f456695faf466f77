#include "AccountTables.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

// The demo database's tables, loaded by psql from scripts/demo-account.sql as the demo does, then
// rewritten by a run of the three database targets.
class DemoAccount : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (TestDatabase::isTSql())
            GTEST_SKIP() << "The demo's database is a PostgreSQL";
    }
    void TearDown() override { TestDatabase::execute(AccountTables::drop()); }

    static void load()
    {
        QProcess psql;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("qef"));
        psql.setProcessEnvironment(environment);
        psql.setProcessChannelMode(QProcess::MergedChannels);
        psql.start(QStringLiteral("psql"), {QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"),
                                            QStringLiteral("127.0.0.1"), QStringLiteral("-p"), qEnvironmentVariable("MUD3_PG_PORT"), QStringLiteral("-U"),
                                            QStringLiteral("sa"), QStringLiteral("-d"), QStringLiteral("Account"), QStringLiteral("-f"),
                                            QStringLiteral(MUD3_SOURCE_DIR "/scripts/demo-account.sql")});
        ASSERT_TRUE(psql.waitForFinished(60000));
        ASSERT_EQ(psql.exitCode(), 0) << psql.readAll().toStdString();
    }

    static QStringList rows(const char *table) { return AccountTables::rows(TestDatabase::admin(), QLatin1String(table)); }
};

TEST_F(DemoAccount, ScriptLaysDownTheRowsThatTheTargetsLookFor)
{
    load();
    EXPECT_EQ(rows("TBL_PUBIPS"), QStringList({QStringLiteral("LoginGW|198.51.100.10"), QStringLiteral("LoginServer|198.51.100.10"),
                                               QStringLiteral("SET1 DB Conn|198.51.100.10"), QStringLiteral("SET1 GameSrv1|198.51.100.10")}));
    EXPECT_EQ(rows("TBL_SELECTGATEIPS"), QStringList{QStringLiteral("MIR3|198.51.100.10|Demo Server|7100")});
    EXPECT_EQ(rows("TBL_SERVERINFO"), QStringList{QStringLiteral("MIR3|Demo Server")});
}

TEST_F(DemoAccount, RunWithTheDatabaseTargetsTickedRewritesTheDemoRowsAndLoadingAgainStartsAfresh)
{
    load();
    InstallationTree tree;
    FormValues form;
    pointAtTestSystem(form, tree);
    AccountTables::tickOnlyDatabaseTargets(form);
    Module1 module;
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();

    EXPECT_EQ(rows("TBL_PUBIPS"), QStringList({QStringLiteral("LoginGW|127.0.0.1"), QStringLiteral("LoginServer|203.0.113.24"),
                                               QStringLiteral("SET1 DB Conn|127.0.0.1"), QStringLiteral("SET1 GameSrv1|127.0.0.1")}));
    EXPECT_EQ(rows("TBL_SELECTGATEIPS"), QStringList{QStringLiteral("MIR3|203.0.113.24|Morrowtide|7105")});
    EXPECT_EQ(rows("TBL_SERVERINFO"), QStringList{QStringLiteral("MIR3|Morrowtide")});

    load();
    EXPECT_EQ(rows("TBL_SERVERINFO"), QStringList{QStringLiteral("MIR3|Demo Server")});
}
