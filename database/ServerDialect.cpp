#include "database/ServerDialect.h"

#include "database/StatementTimeout.h"

namespace {

ServerDialect &current()
{
    static ServerDialect dialect = sqlServerDialect();
    return dialect;
}

} // namespace

QString ServerDialect::quoted(const QString &identifier) const
{
    QString escaped = identifier;
    escaped.replace(identifierCloses, QString(2, identifierCloses));
    return identifierOpens + escaped + identifierCloses;
}

bool ServerDialect::isBusy(const QString &state, int nativeError) const
{
    // HYT00: the ODBC query time-out expired, on any server.
    return state == QLatin1String("HYT00") || busyStates.contains(state) || busyNativeErrors.contains(nativeError);
}

const ServerDialect &sqlServerDialect()
{
    static const ServerDialect dialect{
        {QStringLiteral("SET LOCK_TIMEOUT %1").arg(StatementTimeout::LockSeconds * 1000)},
        // OBJECT_ID resolves the name as the targets' own statements do, in the login's default schema.
        QStringLiteral("SELECT c.name AS COLUMN_NAME FROM sys.indexes AS i"
                       " JOIN sys.index_columns AS ic ON ic.object_id = i.object_id AND ic.index_id = i.index_id"
                       " JOIN sys.columns AS c ON c.object_id = ic.object_id AND c.column_id = ic.column_id"
                       " WHERE i.object_id = OBJECT_ID(?) AND i.is_primary_key = 1 ORDER BY ic.key_ordinal"),
        QLatin1Char('['),
        QLatin1Char(']'),
        {},
        // "Lock request time out period exceeded", which the drivers report under a general SQLSTATE.
        {1222},
    };
    return dialect;
}

const ServerDialect &serverDialect()
{
    return current();
}

void useServerDialect(const ServerDialect &dialect)
{
    current() = dialect;
}
