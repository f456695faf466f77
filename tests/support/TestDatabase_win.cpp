#include "support/TestDatabase.h"

// psqlODBC, standing in for SQL Server under Wine, reads "host,port" as two hosts: there the test server
// listens on the default port, in a network namespace of the test run's own.
QString TestDatabase::sqlAddress()
{
    if (isTSql())
        return qEnvironmentVariable("MUD3_TEST_SQLSERVER");
    port();
    return QStringLiteral("127.0.0.1");
}
