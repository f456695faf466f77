#include "database/Transaction.h"

#include "database/DbConnection.h"
#include "platform/Failure.h"

#include <QSqlError>

namespace {

QSqlDatabase openDatabase(const DbConnection &connection)
{
    if (connection.state() != DbConnection::State::Open)
        throw Failure(QStringLiteral("The database connection is not open"));
    return connection.database();
}

QString causeOf(const QSqlError &error, const QString &fallback)
{
    const QString text = error.text().trimmed();
    return text.isEmpty() ? fallback : text;
}

} // namespace

Transaction::Transaction(DbConnection &connection)
    : m_connection(connection)
{
    QSqlDatabase database = openDatabase(connection);
    if (connection.m_inTransaction)
        throw Failure(QStringLiteral("A transaction is under way on the connection already"));
    if (!database.transaction())
        throw Failure(causeOf(database.lastError(), QStringLiteral("The database refused to start a transaction")));
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
    QSqlDatabase database = openDatabase(m_connection);
    if (!database.commit()) {
        const QString cause = causeOf(database.lastError(), QStringLiteral("The database refused to commit"));
        database.rollback();
        throw Failure(cause);
    }
}

void Transaction::rollBack()
{
    if (!m_open)
        return;
    m_open = false;
    m_connection.m_inTransaction = false;
    if (m_connection.state() == DbConnection::State::Open)
        m_connection.database().rollback();
}
