#include "database/StatementTimeout.h"

#include "platform/Odbc.h"

#include <QSqlQuery>
#include <QSqlResult>
#include <QVariant>

namespace {

// The ODBC statement behind a query that Qt's ODBC driver has prepared or run; null for any other.
SQLHANDLE statementOf(const QSqlQuery &query)
{
    const QSqlResult *result = query.result();
    if (result == nullptr)
        return nullptr;
    const QVariant handle = result->handle();
    if (handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        return nullptr;
    return handle.value<SQLHANDLE>();
}

// SQLSTATEs of a statement that gave up waiting: the ODBC time-out (HYT00), and PostgreSQL's lock
// time-out (55P03) and statement cancel (57014), which is how psqlODBC carries the ODBC time-out out.
bool isExpiryState(const QByteArray &state)
{
    return state == "HYT00" || state == "55P03" || state == "57014";
}

// SQL Server's "Lock request time out period exceeded", which drivers report under a general SQLSTATE.
constexpr SQLINTEGER SqlServerLockTimeout = 1222;

} // namespace

bool StatementTimeout::prepare(QSqlQuery &query, const QString &text)
{
    if (!query.prepare(text))
        return false;
    if (SQLHANDLE statement = statementOf(query))
        SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(Seconds)), SQL_IS_UINTEGER);
    return true;
}

QString StatementTimeout::sessionLockTimeout(QSqlDriver::DbmsType server)
{
    switch (server) {
    case QSqlDriver::MSSqlServer:
        return QStringLiteral("SET LOCK_TIMEOUT %1").arg(Seconds * 1000);
    case QSqlDriver::PostgreSQL:
        return QStringLiteral("SET lock_timeout = '%1s'").arg(Seconds);
    default:
        return {};
    }
}

bool StatementTimeout::expired(const QSqlQuery &query)
{
    SQLHANDLE statement = statementOf(query);
    if (statement == nullptr)
        return false;
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER nativeError = 0;
    SQLSMALLINT messageLength = 0;
    for (SQLSMALLINT record = 1;; ++record) {
        if (!SQL_SUCCEEDED(SQLGetDiagRecA(SQL_HANDLE_STMT, statement, record, state, &nativeError, nullptr, 0, &messageLength)))
            return false;
        if (isExpiryState(QByteArray(reinterpret_cast<const char *>(state))) || nativeError == SqlServerLockTimeout)
            return true;
    }
}
