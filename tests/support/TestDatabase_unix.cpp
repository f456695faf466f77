#include "support/TestDatabase.h"

QString TestDatabase::sqlAddress()
{
    return QStringLiteral("127.0.0.1,") + port();
}
