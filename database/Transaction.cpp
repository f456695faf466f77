#include "database/Transaction.h"

#include "database/DbConnection.h"
#include "database/OdbcStatement.h"
#include "platform/Failure.h"
#include "platform/Odbc.h"

namespace {

// Made on the ODBC connection itself: Qt's driver leaves the connection out of autocommit when a rollback
// fails, as one does after the server has ended the transaction by itself.
SQLHANDLE openConnectionOf(const DbConnection &connection)
{
    if (connection.state() != DbConnection::State::Open)
        throw Failure(QStringLiteral("The database connection is not open"));
    return connection.odbcHandle();
}

bool setAutocommit(SQLHANDLE connection, SQLULEN mode)
{
    return SQL_SUCCEEDED(SQLSetConnectAttr(connection, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(mode), SQL_IS_UINTEGER));
}

} // namespace

Transaction::Transaction(DbConnection &connection)
    : m_connection(connection)
{
    SQLHANDLE handle = openConnectionOf(connection);
    if (connection.m_inTransaction)
        throw Failure(QStringLiteral("A transaction is under way on the connection already"));
    if (!setAutocommit(handle, SQL_AUTOCOMMIT_OFF))
        throw Failure(odbcCause(SQL_HANDLE_DBC, handle, QStringLiteral("The database refused to start a transaction")));
    connection.m_inTransaction = true;
}

Transaction::~Transaction()
{
    rollBack();
}

void Transaction::commit()
{
    if (!m_open)
        throw Failure(QStringLiteral("The transaction has ended already"));
    SQLHANDLE handle = openConnectionOf(m_connection);
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, handle, SQL_COMMIT))) {
        const QString cause = odbcCause(SQL_HANDLE_DBC, handle, QStringLiteral("The database refused to commit"));
        rollBack();
        throw Failure(cause);
    }
    m_open = false;
    m_connection.m_inTransaction = false;
    setAutocommit(handle, SQL_AUTOCOMMIT_ON);
}

void Transaction::rollBack()
{
    if (!m_open)
        return;
    m_open = false;
    m_connection.m_inTransaction = false;
    if (m_connection.state() != DbConnection::State::Open)
        return;
    // Whether or not the server still holds the transaction, the connection goes back to autocommit.
    SQLHANDLE handle = m_connection.odbcHandle();
    SQLEndTran(SQL_HANDLE_DBC, handle, SQL_ROLLBACK);
    setAutocommit(handle, SQL_AUTOCOMMIT_ON);
}
