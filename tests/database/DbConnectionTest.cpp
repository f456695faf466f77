#include "AccountTables.h"
#include "database/DbConnection.h"
#include "database/OdbcConnectionString.h"
#include "platform/Failure.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

const QString DatabaseContext = QStringLiteral("Cannot be found, check IP Adress, and SQL Password");
// What the server says of a wrong password.
const QString RefusedLoginCause =
    TestDatabase::either(QStringLiteral("password authentication failed for user \"sa\""), QStringLiteral("Login failed for user"));

} // namespace

TEST(DbConnection, CloseConnectionAsFirstCallLeavesAClosedUnconfiguredObject)
{
    DbConnection connection;
    EXPECT_EQ(connection.state(), DbConnection::State::Absent);
    connection.CloseConnection();
    EXPECT_EQ(connection.state(), DbConnection::State::Closed);
    EXPECT_TRUE(connection.database().databaseName().isEmpty());
}

TEST(DbConnection, OpenThenCloseTwiceReleasesThenCreatesAFreshObject)
{
    DbConnection connection;
    connection.OpenConnection(TestDatabase::sqlAddress(), QStringLiteral("sa"), TestDatabase::password(), QStringLiteral("Account"));
    EXPECT_EQ(connection.state(), DbConnection::State::Open);
    EXPECT_EQ(connection.database().databaseName(),
              OdbcConnectionString::build(TestDatabase::sqlAddress(), QStringLiteral("sa"), TestDatabase::password(), QStringLiteral("Account")));

    connection.CloseConnection();
    EXPECT_EQ(connection.state(), DbConnection::State::Absent);
    connection.CloseConnection();
    EXPECT_EQ(connection.state(), DbConnection::State::Closed);
    EXPECT_TRUE(connection.database().databaseName().isEmpty());
}

TEST(DbConnection, RefusedLoginLeavesTheObjectClosedWithItsTextAndTheNextOpenReusesIt)
{
    DbConnection connection;
    try {
        connection.OpenConnection(TestDatabase::sqlAddress(), QStringLiteral("sa"), QStringLiteral("wrong"), QStringLiteral("Account"));
        FAIL() << "the login was not refused";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.cause().contains(RefusedLoginCause)) << failure.cause().toStdString();
    }
    EXPECT_EQ(connection.state(), DbConnection::State::Closed);
    EXPECT_TRUE(connection.database().databaseName().contains(QStringLiteral(";PWD=wrong;")));

    // The failure path's close finds it closed and leaves it as it is.
    connection.CloseConnection();
    EXPECT_EQ(connection.state(), DbConnection::State::Closed);
    EXPECT_TRUE(connection.database().databaseName().contains(QStringLiteral(";PWD=wrong;")));

    connection.OpenConnection(TestDatabase::sqlAddress(), QStringLiteral("sa"), TestDatabase::password(), QStringLiteral("Account"));
    EXPECT_EQ(connection.state(), DbConnection::State::Open);
    EXPECT_TRUE(connection.database().databaseName().endsWith(QStringLiteral(";PWD=") + TestDatabase::password() + QLatin1Char(';')));
}

TEST(DbConnection, ValidConnectionRunsQueries)
{
    DbConnection connection;
    connection.OpenConnection(TestDatabase::sqlAddress(), QStringLiteral("sa"), TestDatabase::password(), QStringLiteral("Account"));
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    ASSERT_TRUE(query.exec(TestDatabase::either(QStringLiteral("SELECT current_user, current_database()"), QStringLiteral("SELECT SUSER_NAME(), DB_NAME()"))));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), QStringLiteral("sa"));
    // Babelfish keeps database names in lower case.
    EXPECT_EQ(query.value(1).toString().compare(QStringLiteral("Account"), Qt::CaseInsensitive), 0) << query.value(1).toString().toStdString();
}

// The session's lock time-out at the server ends a lock wait, and leaves the connection usable.
TEST(DbConnection, OpenSessionWaitsForALockThirtySecondsAtMost)
{
    DbConnection connection;
    connection.OpenConnection(TestDatabase::sqlAddress(), QStringLiteral("sa"), TestDatabase::password(), QStringLiteral("Account"));
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    ASSERT_TRUE(query.exec(TestDatabase::either(QStringLiteral("SHOW lock_timeout"), QStringLiteral("SELECT @@LOCK_TIMEOUT"))));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), TestDatabase::either(QStringLiteral("30s"), QStringLiteral("30000")));
}

// Runs with every target ticked, the file targets included, to show that a refused login writes nothing.
class RefusedLogin : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestDatabase::execute(AccountTables::create());
        pointAtTestSystem(form, tree);
        AccountTables::setNewValues(form);
    }
    void TearDown() override { TestDatabase::execute(AccountTables::drop()); }

    void expectNothingChanged()
    {
        for (int target = 0; target < TargetCount; ++target)
            EXPECT_TRUE(form.isTicked(target)) << "target " << target;
        for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
            EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), QLatin1String(table)), AccountTables::initialRows(QLatin1String(table)));
        for (int target = FirstFileTarget; target < TargetCount; ++target)
            EXPECT_EQ(tree.read(target), InstallationTree::oldContent(target)) << "target " << target;
        EXPECT_FALSE(QFile::exists(tree.settingsPath()));
        EXPECT_EQ(module.dbConnection.state(), DbConnection::State::Closed);
    }

    InstallationTree tree;
    FormValues form;
    Module1 module;
};

TEST_F(RefusedLogin, WrongPasswordShowsTheMessageAloneWithTheDriversCause)
{
    form.setFieldText(Field::txtSQLPass, QStringLiteral("not ") + TestDatabase::password());
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_TRUE(outcome.cause.startsWith(QStringLiteral("Cannot connect to the SQL Server at %1 as sa, database Account: ").arg(TestDatabase::sqlAddress())))
        << outcome.cause.toStdString();
    EXPECT_TRUE(outcome.cause.contains(RefusedLoginCause)) << outcome.cause.toStdString();
    expectNothingChanged();
}

TEST_F(RefusedLogin, PasswordWithTheCorrectOneInsideSpacesIsNotTrimmed)
{
    form.setFieldText(Field::txtSQLPass, QLatin1Char(' ') + TestDatabase::password());
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_TRUE(outcome.cause.contains(RefusedLoginCause)) << outcome.cause.toStdString();
    expectNothingChanged();
}

TEST_F(RefusedLogin, ClosingBraceInThePasswordIsRefusedWithAClearCause)
{
    form.setFieldText(Field::txtSQLPass, TestDatabase::password() + QLatin1Char('}'));
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_EQ(outcome.cause, QStringLiteral("The SQL password holds \"}\", which the FreeTDS ODBC driver cannot pass on to the server"));
    expectNothingChanged();
}

TEST_F(RefusedLogin, ClosingBraceInTheSqlAddressIsRefusedWithAClearCause)
{
    form.setFieldText(Field::txtSQLIP, QString(TestDatabase::sqlAddress()).replace(QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1}")));
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_EQ(outcome.cause, QStringLiteral("The SQL IP holds \"}\", which the FreeTDS ODBC driver cannot pass on to the server"));
    expectNothingChanged();
}

TEST_F(RefusedLogin, NothingTickedStillOpensSoAWrongPasswordStillFails)
{
    for (int target = 0; target < TargetCount; ++target)
        form.setTicked(target, false);
    form.setFieldText(Field::txtSQLPass, QStringLiteral("wrong"));
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_FALSE(QFile::exists(tree.settingsPath()));
}

TEST_F(RefusedLogin, NothingTickedWithTheRightPasswordOpensClosesAndSaves)
{
    for (int target = 0; target < TargetCount; ++target)
        form.setTicked(target, false);
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    EXPECT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    EXPECT_TRUE(QFile::exists(tree.settingsPath()));
    EXPECT_EQ(module.dbConnection.state(), DbConnection::State::Absent);
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
        EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), QLatin1String(table)), AccountTables::initialRows(QLatin1String(table)));
}
