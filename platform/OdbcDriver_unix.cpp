#include "platform/OdbcDriver.h"

#include "platform/Failure.h"
#include "platform/SqlServerBrowser_unix.h"

namespace {

// SQL Server's port when none is named.
const QString DefaultPort = QStringLiteral("1433");

struct ServerParts {
    QString host;
    QString instance; // empty for the default instance
    QString port;     // empty when none is named
};

ServerParts partsOf(const QString &server)
{
    ServerParts parts;
    const qsizetype comma = server.indexOf(QLatin1Char(','));
    const QString name = comma < 0 ? server : server.left(comma);
    if (comma >= 0)
        parts.port = server.mid(comma + 1);
    const qsizetype backslash = name.indexOf(QLatin1Char('\\'));
    parts.host = backslash < 0 ? name : name.left(backslash);
    if (backslash >= 0)
        parts.instance = name.mid(backslash + 1);
    return parts;
}

} // namespace

QString OdbcDriver::name()
{
    return QStringLiteral("FreeTDS");
}

QString OdbcDriver::reachableServer(const QString &server)
{
    const ServerParts parts = partsOf(server);
    // FreeTDS would take any number, modulo 65536, and so reach another port.
    if (server.contains(QLatin1Char(','))) {
        bool number = false;
        const int port = parts.port.toInt(&number);
        if (!number || port < 1 || port > 65535 || parts.port.startsWith(QLatin1Char('+')))
            throw Failure(QStringLiteral("The SQL IP names the port \"%1\", which is no port number (1 to 65535)").arg(parts.port));
    }
    if (parts.instance.isEmpty() || !parts.port.isEmpty())
        return server;
    return parts.host + QLatin1Char(',') + QString::number(SqlServerBrowser::instancePort(parts.host, parts.instance));
}

// FreeTDS takes the port in a keyword of its own, which other ODBC drivers read as well. Without one it has
// none at all, not SQL Server's default.
OdbcDriver::Keywords OdbcDriver::serverKeywords(const QString &server)
{
    const ServerParts parts = partsOf(server);
    const bool instanceOnly = !parts.instance.isEmpty() && parts.port.isEmpty();
    Keywords keywords;
    if (instanceOnly)
        keywords = {{QStringLiteral("Server"), server}};
    else
        keywords = {{QStringLiteral("Server"), parts.host}, {QStringLiteral("Port"), parts.port.isEmpty() ? DefaultPort : parts.port}};
    keywords.append({QStringLiteral("TDS_Version"), QStringLiteral("7.4")});
    keywords.append({QStringLiteral("ClientCharset"), QStringLiteral("UTF-8")});
    return keywords;
}

bool OdbcDriver::carriesClosingBrace()
{
    return false;
}
