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
        // The catalog procedure that the ODBC drivers' own SQLPrimaryKeys runs, which every SQL Server since 2000
        // has; the table is found as the targets' own statements find it, in the login's schema, else dbo's.
        QStringLiteral("EXEC sp_pkeys @table_name = ?"),
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
