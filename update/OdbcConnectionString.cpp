#include "update/OdbcConnectionString.h"

#include "update/Failure.h"

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
    static const QRegularExpression modern(QStringLiteral("^ODBC Driver (\\d+) for SQL Server$"));
    QString newest = QStringLiteral("SQL Server");
    int newestVersion = 0;
    for (const QString &name : drivers.childKeys()) {
        const QRegularExpressionMatch match = modern.match(name);
        if (match.hasMatch() && match.captured(1).toInt() > newestVersion) {
            newestVersion = match.captured(1).toInt();
            newest = name;
        }
    }
    return newest;
#else
    return QStringLiteral("FreeTDS");
#endif
}

QString OdbcConnectionString::build(const QString &server, const QString &user, const QString &password, const QString &catalog)
{
    QString text = keyword(QStringLiteral("DRIVER"), driverName());
#ifdef Q_OS_WIN
    // The SQL Server drivers read "host", "host,port" and "host\instance" themselves.
    text += keyword(QStringLiteral("Server"), server);
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
