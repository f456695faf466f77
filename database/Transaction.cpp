#include "database/Transaction.h"

#include "database/DbConnection.h"
#include "database/OdbcStatement.h"
#include "platform/Failure.h"

namespace {

// Sent as statements, which the ODBC query time-out bounds, where the ODBC calls for a transaction are bound by
// nothing: a server that stops answering a COMMIT would hold the run for ever. SQL Server and PostgreSQL both
// read these three.
void send(DbConnection &connection, const QString &statement)
{
    if (connection.state() != DbConnection::State::Open)
        throw Failure(QStringLiteral("The database connection is not open"));
    OdbcStatement(connection).execute(statement);
}

} // namespace

Transaction::Transaction(DbConnection &connection)
    : m_connection(connection)
{
    if (connection.m_inTransaction)
        throw Failure(QStringLiteral("A transaction is under way on the connection already"));
    send(connection, QStringLiteral("BEGIN TRANSACTION"));
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
    m_open = false;
    m_connection.m_inTransaction = false;
    try {
        send(m_connection, QStringLiteral("COMMIT TRANSACTION"));
    } catch (const Failure &failure) {
        // The COMMIT may have reached the server before its answer was lost.
        throw Failure(QStringLiteral("The server did not confirm the commit, so the changes may or may not have been made: ") + failure.cause());
    }
}

void Transaction::rollBack()
{
    if (!m_open)
        return;
    m_open = false;
    m_connection.m_inTransaction = false;
    // A server that has ended the transaction by itself, or a lost connection, has nothing left to roll back.
    try {
        send(m_connection, QStringLiteral("ROLLBACK TRANSACTION"));
    } catch (const Failure &) {
    }
}
