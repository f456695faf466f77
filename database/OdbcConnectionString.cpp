#include "database/OdbcConnectionString.h"

#include "platform/Failure.h"

#include <QRegularExpression>
#include <QStringList>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

namespace {

bool needsBraces(const QString &value)
{
    static const QRegularExpression special(QStringLiteral("[;{}=]|^\\s|\\s$"));
    return special.match(value).hasMatch();
}

#ifndef Q_OS_WIN
// FreeTDS before 1.4 ends a braced value at its first "}" and has no way to carry one.
void refuseClosingBrace(const QString &value, const QString &what)
{
    if (value.contains(QLatin1Char('}')))
        throw Failure(QStringLiteral("%1 holds \"}\", which the FreeTDS ODBC driver cannot pass on to the server").arg(what));
}
#endif

QString keyword(const QString &key, const QString &value)
{
    return key + QLatin1Char('=') + OdbcConnectionString::quoted(value) + QLatin1Char(';');
}

// NN of "ODBC Driver NN for SQL Server"; 0 for any other driver.
int modernDriverVersion(const QString &driver)
{
    static const QRegularExpression modern(QStringLiteral("^ODBC Driver (\\d+) for SQL Server$"));
    const QRegularExpressionMatch match = modern.match(driver);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

} // namespace

QString OdbcConnectionString::quoted(const QString &value)
{
    if (!needsBraces(value))
        return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}

QString OdbcConnectionString::driverName()
{
#ifdef Q_OS_WIN
    const QSettings drivers(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"), QSettings::NativeFormat);
    QString newest = QStringLiteral("SQL Server");
    int newestVersion = 0;
    for (const QString &name : drivers.childKeys()) {
        if (modernDriverVersion(name) > newestVersion) {
            newestVersion = modernDriverVersion(name);
            newest = name;
        }
    }
    return newest;
#else
    return QStringLiteral("FreeTDS");
#endif
}

QString OdbcConnectionString::compatibilityKeywords(const QString &driver)
{
    // Driver 18 made Encrypt=yes the default and checks the server's certificate; a game server's SQL
    // Server usually has a self-signed one, an old one none. Older drivers encrypt only when the server
    // asks, and then without checking the certificate: that is what these keywords restore.
    return modernDriverVersion(driver) >= 18 ? QStringLiteral("Encrypt=no;TrustServerCertificate=yes;") : QString();
}

QString OdbcConnectionString::build(const QString &server, const QString &user, const QString &password, const QString &catalog)
{
    const QString driver = driverName();
    QString text = keyword(QStringLiteral("DRIVER"), driver);
#ifdef Q_OS_WIN
    // The SQL Server drivers read "host", "host,port" and "host\instance" themselves.
    text += keyword(QStringLiteral("Server"), server);
    text += compatibilityKeywords(driver);
#else
    refuseClosingBrace(server, QStringLiteral("The SQL IP"));
    refuseClosingBrace(user, QStringLiteral("The user name"));
    refuseClosingBrace(password, QStringLiteral("The SQL password"));
    refuseClosingBrace(catalog, QStringLiteral("The catalog name"));
    // FreeTDS reads "host\instance" from Server; a port goes into a keyword of its own, which other
    // ODBC drivers read as well.
    const int comma = server.indexOf(QLatin1Char(','));
    if (comma >= 0 && !server.contains(QLatin1Char('\\')))
        text += keyword(QStringLiteral("Server"), server.left(comma)) + keyword(QStringLiteral("Port"), server.mid(comma + 1));
    else
        text += keyword(QStringLiteral("Server"), server);
    text += QStringLiteral("TDS_Version=7.4;ClientCharset=UTF-8;");
#endif
    text += keyword(QStringLiteral("Database"), catalog);
    text += keyword(QStringLiteral("UID"), user);
    text += keyword(QStringLiteral("PWD"), password);
    return text;
}
