#include "AccountTables.h"
#include "database/DbConnection.h"
#include "database/DbRecordset.h"
#include "database/Transaction.h"
#include "platform/Failure.h"
#include "support/TestDatabase.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

// The record set on its own, on the shared test database, inside a transaction of the test's.
class Recordset : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestDatabase::execute(AccountTables::create());
        connection.OpenConnection(TestDatabase::sqlAddress(), QStringLiteral("sa"), TestDatabase::password(), QStringLiteral("Account"));
        transaction.emplace(connection);
        recordset.bind(connection);
    }
    void TearDown() override
    {
        recordset.Close();
        transaction.reset();
        connection.CloseConnection();
        TestDatabase::execute(AccountTables::drop());
    }

    void commit()
    {
        transaction->commit();
        transaction.reset();
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
    std::optional<Transaction> transaction;
    DbRecordset recordset;
};

// The test server writes its log to server.log in its data folder, which is also its socket folder.
TEST_F(Recordset, OpenSendsTheQueryTextExactly)
{
    if (TestDatabase::isTSql())
        GTEST_SKIP() << "the statement log is PostgreSQL's";
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

    // Optimistic: another session may change the row meanwhile without waiting for the record set.
    TestDatabase::execute({TestDatabase::either(QStringLiteral("SET lock_timeout = '2s'"), QStringLiteral("SET LOCK_TIMEOUT 2000")),
                           QStringLiteral("UPDATE TBL_PUBIPS SET FLD_REMARK = 'other session' WHERE FLD_ID = 1"),
                           TestDatabase::either(QStringLiteral("SET lock_timeout = 0"), QStringLiteral("SET LOCK_TIMEOUT -1"))});
    EXPECT_EQ(addressRows().first(), QStringLiteral("1|LoginGW|192.0.2.1|other session"));
}

TEST_F(Recordset, ChangesReachTheTableOnlyAtUpdateAndOnlyInTheirColumnsAndLastOnlyWithTheTransaction)
{
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.77"));
    recordset.setCollect(QStringLiteral("fld_pubip"), QStringLiteral("192.0.2.88"));
    const QSqlRecord written = recordset.Update();
    EXPECT_EQ(written.value(QStringLiteral("FLD_PUBIP")).toString(), QStringLiteral("192.0.2.88"));
    EXPECT_EQ(written.value(QStringLiteral("FLD_REMARK")).toString(), QStringLiteral("kept 1"));
    recordset.Close();
    EXPECT_FALSE(recordset.isOpen());
    commit();
    EXPECT_EQ(addressRows().first(), QStringLiteral("1|LoginGW|192.0.2.88|kept 1"));
    EXPECT_FALSE(TestDatabase::inTransaction(connection.database()));
}

TEST_F(Recordset, WhatIsNotCommittedIsUndoneAsTheTransactionEnds)
{
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.77"));
    recordset.Close();
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginServer'"));
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.78"));
    recordset.Update();
    recordset.Close();
    transaction.reset();
    EXPECT_EQ(addressRows(), AccountTables::initialRows(QStringLiteral("TBL_PUBIPS")));
    EXPECT_FALSE(TestDatabase::inTransaction(connection.database()));
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
    recordset.Close();
    commit();
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.77"));
    EXPECT_EQ(causeOf([&] { recordset.Update(); }), QStringLiteral("The row of TBL_PUBIPS can be written only inside a transaction"));
    EXPECT_EQ(addressRows(), AccountTables::initialRows(QStringLiteral("TBL_PUBIPS")));
}

TEST_F(Recordset, FailureClosesAndLeavesItReadyForTheNextOpen)
{
    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.77"));
    EXPECT_EQ(causeOf([&] { recordset.setCollect(QStringLiteral("FLD_NOSUCH"), QStringLiteral("x")); }),
              QStringLiteral("TBL_PUBIPS has no column FLD_NOSUCH"));
    EXPECT_FALSE(recordset.isOpen());

    recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginServer'"));
    recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.78"));
    recordset.Update();
    recordset.Close();
    commit();
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

// The row is written only while the query still selects it and it holds what was read: what another session
// wrote meanwhile, in a column the update sets too or one that the query selects by, is not overwritten.
TEST_F(Recordset, RowChangedOrDeletedSinceOpenIsNotWritten)
{
    for (const QString &meanwhile : {QStringLiteral("UPDATE TBL_PUBIPS SET FLD_PUBIP = '192.0.2.50' WHERE FLD_ID = 1"),
                                     QStringLiteral("UPDATE TBL_PUBIPS SET FLD_DESCRIPTION = 'Retired' WHERE FLD_ID = 1"),
                                     QStringLiteral("DELETE FROM TBL_PUBIPS WHERE FLD_ID = 1")}) {
        SCOPED_TRACE(meanwhile.toStdString());
        transaction.reset();
        TestDatabase::execute(AccountTables::create());
        transaction.emplace(connection);
        recordset.Open(QStringLiteral("TBL_PUBIPS"), QStringLiteral(" WHERE FLD_DESCRIPTION = 'LoginGW'"));
        TestDatabase::execute({meanwhile});
        const QStringList before = addressRows();
        recordset.setCollect(QStringLiteral("FLD_PUBIP"), QStringLiteral("192.0.2.77"));
        EXPECT_EQ(causeOf([&] { recordset.Update(); }),
                  QStringLiteral("The update of TBL_PUBIPS would have changed 0 rows instead of the one row read; nothing was written"));
        commit();
        EXPECT_EQ(addressRows(), before);
    }
}

TEST_F(Recordset, MissingTableFailsAtOpenWithTheServersCause)
{
    const QString cause = causeOf([&] { recordset.Open(QStringLiteral("TBL_NOSUCH"), QStringLiteral(" WHERE FLD_ID = 1")); });
    EXPECT_TRUE(cause.contains(TestDatabase::either(QStringLiteral("relation \"tbl_nosuch\" does not exist"), QStringLiteral("TBL_NOSUCH"))))
        << cause.toStdString();
    EXPECT_FALSE(recordset.isOpen());
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
    commit();
    EXPECT_EQ(addressRows(), AccountTables::initialRows(QStringLiteral("TBL_PUBIPS")));
}
