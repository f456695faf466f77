#include "AccountTables.h"
#include "database/DbConnection.h"
#include "database/DbRecordset.h"
#include "platform/Failure.h"
#include "support/TestDatabase.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

// The record set on its own, on the shared test database.
class Recordset : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestDatabase::execute(AccountTables::create());
        connection.OpenConnection(TestDatabase::sqlAddress(), QStringLiteral("sa"), QStringLiteral("qef"), QStringLiteral("Account"));
        QSqlQuery query(connection.database());
        if (query.exec(QStringLiteral("SELECT pg_backend_pid()")) && query.next())
            backend = query.value(0).toInt();
        recordset.bind(connection);
    }
    void TearDown() override
    {
        recordset.Close();
        connection.CloseConnection();
        TestDatabase::execute(AccountTables::drop());
    }

    // What the server holds about the tool's session: its state and the text of the last statement it ran.
    QPair<QString, QString> session()
    {
        QSqlQuery query(TestDatabase::admin());
        query.prepare(QStringLiteral("SELECT state, query FROM pg_stat_activity WHERE pid = ?"));
        query.addBindValue(backend);
        if (!query.exec() || !query.next())
            return {QStringLiteral("<none>"), query.lastError().text()};
        return {query.value(0).toString(), query.value(1).toString()};
    }

    static QStringList addressRows() { return AccountTables::rows(TestDatabase::admin(), QStringLiteral("TBL_PUBIPS")); }

    static QString causeOf(const std::function<void()> &step)
    {
        try {
            step();
        } catch (const Failure &failure) {
            return failure.cause();
        }
        return QStringLiteral("no failure");
    }

    DbConnection connection; // declared first: the record set ends before the connection
    DbRecordset recordset;
    int backend = 0;
};

// The test server writes its log to server.log in its data folder, which is also its socket folder.
TEST_F(Recordset, OpenSendsTheQueryTextExactly)
{
    const QString marker = QStringLiteral("marker %1").arg(QDateTime::currentMSecsSinceEpoch());
    QSqlQuery query(connection.database());
    ASSERT_TRUE(query.exec(QStringLiteral("SET log_statement = 'all'")));
    query.prepare(QStringLiteral("SELECT ?"));
    query.addBindValue(marker);
    ASSERT_TRUE(query.exec());
    query.finish();

    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    recordset.Close();

    QFile log(qEnvironmentVariable("MUD3_PG_SOCKET") + QStringLiteral("/server.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << log.fileName().toStdString();
    const QString text = QString::fromUtf8(log.readAll());
    const qsizetype from = text.lastIndexOf(marker);
    ASSERT_GE(from, 0);
    const QStringList lines = text.mid(from).split(QLatin1Char('\n'));
    // The driver may send its own "BEGIN;" in front of the text, in the same message.
    static const QRegularExpression statement(QStringLiteral("(: |;)Select \\* From TBL_PUBIPS WHERE FLD_DESCRIPTION = 'LoginGW'$"));
    const auto sent = std::count_if(lines.begin(), lines.end(), [](const QString &line) { return statement.match(line).hasMatch(); });
    EXPECT_EQ(sent, 1) << text.mid(from).toStdString();
}

TEST_F(Recordset, OpenHoldsNoLockOnTheRowRead)
{
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    EXPECT_TRUE(recordset.isOpen());
    EXPECT_EQ(session().first, QStringLiteral("idle in transaction"));

    // Optimistic: another session may change the row meanwhile without waiting for the record set.
    TestDatabase::execute({QStringLiteral("SET lock_timeout = '2s'"), QStringLiteral("UPDATE TBL_PUBIPS SET FLD_REMARK = 'other session' WHERE FLD_ID = 1"),
                           QStringLiteral("SET lock_timeout = 0")});
    EXPECT_EQ(addressRows().first(), QStringLiteral("1|LoginGW|192.0.2.1|other session"));
}

TEST_F(Recordset, ChangesReachTheTableOnlyAtUpdateAndOnlyInTheirColumns)
{
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.77"));
    EXPECT_EQ(addressRows(), AccountTables::initialRows(QStringLiteral("TBL_PUBIPS")));
    recordset.Update();
    EXPECT_EQ(addressRows().first(), QStringLiteral("1|LoginGW|192.0.2.77|kept 1"));
    EXPECT_EQ(session().first, QStringLiteral("idle"));
    recordset.Close();
    EXPECT_FALSE(recordset.isOpen());
}

TEST_F(Recordset, ColumnSetTwiceTakesTheLaterValue)
{
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.77"));
    recordset.setCollect(QStringLiteral("fld_pubip"), QStringLiteral("192.0.2.88"));
    recordset.Update();
    EXPECT_EQ(addressRows().first(), QStringLiteral("1|LoginGW|192.0.2.88|kept 1"));
}

TEST_F(Recordset, CloseWithoutUpdateDiscardsTheChangesAndEndsTheTransaction)
{
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.77"));
    recordset.Close();
    EXPECT_EQ(addressRows(), AccountTables::initialRows(QStringLiteral("TBL_PUBIPS")));
    EXPECT_EQ(session().first, QStringLiteral("idle"));
}

TEST_F(Recordset, StepsOutOfOrderFail)
{
    EXPECT_EQ(causeOf([&] { recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("x")); }), QStringLiteral("The record set is not open"));
    EXPECT_EQ(causeOf([&] { recordset.Update(); }), QStringLiteral("The record set is not open"));
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    EXPECT_EQ(causeOf([&] { recordset.Open(QStringLiteral("TBL_PUBIPS"), QString()); }), QStringLiteral("The record set is already open"));
    recordset.Update();
    EXPECT_EQ(causeOf([&] { recordset.Update(); }),
              QStringLiteral("The row of TBL_PUBIPS is already written; the record set must be opened again"));
}

TEST_F(Recordset, FailureRollsBackClosesAndLeavesItReadyForTheNextOpen)
{
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.77"));
    EXPECT_EQ(causeOf([&] { recordset.setCollect(QStringLiteral("FLD_NOSUCH"), QStringLiteral("x")); }),
              QStringLiteral("TBL_PUBIPS has no column FLD_NOSUCH"));
    EXPECT_FALSE(recordset.isOpen());
    EXPECT_EQ(session().first, QStringLiteral("idle"));

    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginServer'"));
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.78"));
    recordset.Update();
    recordset.Close();
    EXPECT_EQ(addressRows(), QStringList({QStringLiteral("1|LoginGW|192.0.2.1|kept 1"), QStringLiteral("2|LoginServer|192.0.2.78|kept 2"),
                                          QStringLiteral("3|SET1 DB Conn|192.0.2.3|kept 3"), QStringLiteral("4|SET1 GameSrv1|192.0.2.4|kept 4")}));
}

TEST_F(Recordset, NoMatchingRowFailsAtTheFirstAssignment)
{
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'Nowhere'"));
    EXPECT_TRUE(recordset.isOpen());
    EXPECT_EQ(causeOf([&] { recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("x")); }),
              QStringLiteral("No row of TBL_PUBIPS matches WHERE FLD_DESCRIPTION = 'Nowhere'"));
    EXPECT_FALSE(recordset.isOpen());
}

TEST_F(Recordset, RowDeletedBetweenOpenAndUpdateFailsWithoutWritingAnything)
{
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    TestDatabase::execute({QStringLiteral("DELETE FROM TBL_PUBIPS WHERE FLD_ID = 1")});
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.77"));
    EXPECT_EQ(causeOf([&] { recordset.Update(); }),
              QStringLiteral("The update of TBL_PUBIPS would have changed 0 rows instead of the one row read; nothing was written"));
    EXPECT_EQ(addressRows(), AccountTables::initialRows(QStringLiteral("TBL_PUBIPS")).mid(1));
}

TEST_F(Recordset, MissingTableFailsAtOpenWithTheServersCause)
{
    const QString cause = causeOf([&] { recordset.Open(QStringLiteral("TBL_NOSUCH"), QStringLiteral(" WHERE FLD_ID = 1")); });
    EXPECT_TRUE(cause.contains(QStringLiteral("relation \"tbl_nosuch\" does not exist"))) << cause.toStdString();
    EXPECT_FALSE(recordset.isOpen());
    EXPECT_EQ(session().first, QStringLiteral("idle"));
}

TEST_F(Recordset, OpenOnAConnectionThatIsNotOpenFails)
{
    DbConnection closed;
    DbRecordset other;
    other.bind(closed);
    const QString cause = causeOf([&] { other.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_ID = 1")); });
    EXPECT_EQ(cause, QStringLiteral("The database connection is not open"));
    EXPECT_FALSE(other.isOpen());
}

TEST_F(Recordset, BindEndsARowUpdateLeftOpen)
{
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.77"));
    recordset.bind(connection);
    EXPECT_FALSE(recordset.isOpen());
    EXPECT_EQ(session().first, QStringLiteral("idle"));
    EXPECT_EQ(addressRows(), AccountTables::initialRows(QStringLiteral("TBL_PUBIPS")));
}
