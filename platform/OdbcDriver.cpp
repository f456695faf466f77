#include "platform/OdbcDriver.h"

#include <QRegularExpression>

int OdbcDriver::sqlServerDriverVersion(const QString &name)
{
    static const QRegularExpression modern(QStringLiteral("^ODBC Driver (\\d+) for SQL Server$"));
    const QRegularExpressionMatch match = modern.match(name);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}
