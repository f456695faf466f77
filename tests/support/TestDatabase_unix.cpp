#include "support/TestDatabase.h"

QString TestDatabase::sqlAddress()
{
    return isTSql() ? qEnvironmentVariable("MUD3_TEST_SQLSERVER") : QStringLiteral("127.0.0.1,") + port();
}
