#include "AccountTables.h"
#include "support/InstallationTree.h"
#include "support/PrivateDatabaseServer.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <memory>

// Logins with unusual passwords, for real: the password of "sa" is changed, so these run on a server of
// their own and the shared test server keeps "qef".
class Login : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!TestDatabase::isTSql())
            server = std::make_unique<PrivateDatabaseServer>();
    }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override
    {
        if (TestDatabase::isTSql())
            GTEST_SKIP() << "These run on a PostgreSQL of their own: they change the password of \"sa\", which only a server of their own may have changed";
        ASSERT_TRUE(server->isRunning());
        server->execute(AccountTables::create());
        // ALTER ROLE takes no parameters; the function lets the password travel as a bound value.
        server->execute({QStringLiteral("CREATE OR REPLACE FUNCTION set_sa_password(password text) RETURNS void LANGUAGE plpgsql AS "
                                        "$$ BEGIN EXECUTE format('ALTER ROLE sa PASSWORD %L', password); END $$")});
        pointAtTestSystem(form, tree);
        form.setFieldText(Field::txtSQLIP, server->sqlAddress());
        AccountTables::setNewValues(form);
        AccountTables::tickOnlyDatabaseTargets(form);
    }
    void TearDown() override
    {
        if (server)
            setPassword(QStringLiteral("qef"));
    }

    // The admin session stays logged in while the password changes under it.
    static void setPassword(const QString &password)
    {
        QSqlQuery query(server->admin());
        query.prepare(QStringLiteral("SELECT set_sa_password(?)"));
        query.addBindValue(password);
        EXPECT_TRUE(query.exec()) << query.lastError().text().toStdString();
    }

    RunOutcome runWithPassword(const QString &password)
    {
        form.setFieldText(Field::txtSQLPass, password);
        return runUpdateOnLoopback(form, module, tree.settingsPath());
    }

    void expectWritten()
    {
        for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
            EXPECT_EQ(AccountTables::rows(server->admin(), QLatin1String(table)), AccountTables::updatedRows(QLatin1String(table)));
    }

    static std::unique_ptr<PrivateDatabaseServer> server;
    InstallationTree tree;
    FormValues form;
    Module1 module;
};

std::unique_ptr<PrivateDatabaseServer> Login::server;

TEST_F(Login, PasswordWithSemicolonEqualsAndSurroundingSpacesLogsIn)
{
    const QString password = QStringLiteral("  se;cr=et ");
    setPassword(password);
    const RunOutcome outcome = runWithPassword(password);
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    expectWritten();
    EXPECT_TRUE(QFile::exists(tree.settingsPath()));
}

TEST_F(Login, PasswordWithOpeningBracesLogsIn)
{
    const QString password = QStringLiteral("{x;{");
    setPassword(password);
    const RunOutcome outcome = runWithPassword(password);
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    expectWritten();
}

TEST_F(Login, PasswordCarryingASecondPasswordKeywordCannotReplaceTheFirst)
{
    setPassword(QStringLiteral("x"));
    // The driver takes the last PWD of a string that is not quoted: an injected keyword would log in.
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("unquoted"));
        raw.setDatabaseName(QStringLiteral("DRIVER={FreeTDS};Server=127.0.0.1;Port=%1;Database=Account;UID=sa;PWD=y;PWD=x;")
                                .arg(server->sqlAddress().section(QLatin1Char(','), 1)));
        EXPECT_TRUE(raw.open()) << raw.lastError().text().toStdString();
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("unquoted"));

    const RunOutcome outcome = runWithPassword(QStringLiteral("y;PWD=x;"));
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_TRUE(outcome.cause.contains(QStringLiteral("password authentication failed"))) << outcome.cause.toStdString();
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
        EXPECT_EQ(AccountTables::rows(server->admin(), QLatin1String(table)), AccountTables::initialRows(QLatin1String(table)));
    for (int target = 0; target < FirstFileTarget; ++target)
        EXPECT_TRUE(form.isTicked(target));
    EXPECT_FALSE(QFile::exists(tree.settingsPath()));
}
