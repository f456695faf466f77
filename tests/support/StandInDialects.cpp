#include "support/StandInDialects.h"

#include "database/StatementTimeout.h"

ServerDialect StandInDialects::postgreSQL()
{
    return {
        {QStringLiteral("SET lock_timeout = '%1s'").arg(StatementTimeout::LockSeconds)},
        QStringLiteral("SELECT a.attname AS \"COLUMN_NAME\" FROM pg_index AS i"
                       " JOIN pg_attribute AS a ON a.attrelid = i.indrelid AND a.attnum = ANY (i.indkey)"
                       " WHERE i.indisprimary AND i.indrelid = CAST(? AS regclass) ORDER BY array_position(i.indkey, a.attnum)"),
        QLatin1Char('"'),
        QLatin1Char('"'),
        // The lock time-out, and the cancel by which psqlODBC carries out the ODBC query time-out.
        {QStringLiteral("55P03"), QStringLiteral("57014")},
        {},
    };
}

ServerDialect StandInDialects::otherTSqlServer()
{
    ServerDialect dialect = sqlServerDialect();
    dialect.busyNativeErrors.append(33557097);
    return dialect;
}
