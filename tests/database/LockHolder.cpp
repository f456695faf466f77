#include "LockHolder.h"

#include "support/TestDatabase.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

LockHolder::LockHolder(const QStringList &statements, int maxSeconds)
    : m_connectionName(QStringLiteral("lock-holder"))
{
    QSqlDatabase session = TestDatabase::adminConnection(m_connectionName, TestDatabase::sqlAddress());
    // A T-SQL server has no such bound: there the holder's destructor ends the session.
    if (!TestDatabase::isTSql())
        TestDatabase::execute(session, {QStringLiteral("SET idle_in_transaction_session_timeout = '%1s'").arg(maxSeconds)});
    if (!session.transaction())
        ADD_FAILURE() << "the lock holder cannot start a transaction";
    TestDatabase::execute(session, statements);
}

LockHolder::~LockHolder()
{
    release();
}

void LockHolder::release()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase session = QSqlDatabase::database(m_connectionName, false);
        // A session that the server already ended cannot roll back; its locks went with it.
        session.rollback();
        session.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

int LockHolder::waitingSessions()
{
    QSqlQuery query(TestDatabase::admin());
    query.setForwardOnly(true);
    if (!query.exec(TestDatabase::either(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'"),
                                         QStringLiteral("SELECT count(*) FROM sys.dm_exec_requests WHERE blocking_session_id <> 0")))
        || !query.next())
        return -1;
    return query.value(0).toInt();
}
