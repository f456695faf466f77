#include "platform/OdbcDriver.h"

QString OdbcDriver::name()
{
    return QStringLiteral("FreeTDS");
}

// FreeTDS reads "host\instance" from Server; a port goes into a keyword of its own, which other ODBC drivers
// read as well.
OdbcDriver::Keywords OdbcDriver::serverKeywords(const QString &server)
{
    Keywords keywords;
    const int comma = server.indexOf(QLatin1Char(','));
    if (comma >= 0 && !server.contains(QLatin1Char('\\')))
        keywords = {{QStringLiteral("Server"), server.left(comma)}, {QStringLiteral("Port"), server.mid(comma + 1)}};
    else
        keywords = {{QStringLiteral("Server"), server}};
    keywords.append({QStringLiteral("TDS_Version"), QStringLiteral("7.4")});
    keywords.append({QStringLiteral("ClientCharset"), QStringLiteral("UTF-8")});
    return keywords;
}

bool OdbcDriver::carriesClosingBrace()
{
    return false;
}
