#include "database/OdbcConnectionString.h"

#include "platform/Failure.h"
#include "platform/OdbcDriver.h"

#include <QRegularExpression>

namespace {

bool needsBraces(const QString &value)
{
    static const QRegularExpression special(QStringLiteral("[;{}=]|^\\s|\\s$"));
    return special.match(value).hasMatch();
}

void refuseClosingBrace(const QString &value, const QString &what)
{
    if (value.contains(QLatin1Char('}')))
        throw Failure(QStringLiteral("%1 holds \"}\", which the FreeTDS ODBC driver cannot pass on to the server").arg(what));
}

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

QString OdbcConnectionString::compatibilityKeywords(const QString &driver)
{
    // Driver 18 made Encrypt=yes the default and checks the server's certificate; a game server's SQL
    // Server usually has a self-signed one, an old one none. Older drivers encrypt only when the server
    // asks, and then without checking the certificate: that is what these keywords restore.
    return OdbcDriver::sqlServerDriverVersion(driver) >= 18 ? QStringLiteral("Encrypt=no;TrustServerCertificate=yes;") : QString();
}

QString OdbcConnectionString::build(const QString &server, const QString &user, const QString &password, const QString &catalog)
{
    if (!OdbcDriver::carriesClosingBrace()) {
        refuseClosingBrace(server, QStringLiteral("The SQL IP"));
        refuseClosingBrace(user, QStringLiteral("The user name"));
        refuseClosingBrace(password, QStringLiteral("The SQL password"));
        refuseClosingBrace(catalog, QStringLiteral("The catalog name"));
    }
    const QString driver = OdbcDriver::name();
    QString text = keyword(QStringLiteral("DRIVER"), driver);
    for (const auto &[key, value] : OdbcDriver::serverKeywords(server))
        text += keyword(key, value);
    text += compatibilityKeywords(driver);
    text += keyword(QStringLiteral("Database"), catalog);
    text += keyword(QStringLiteral("UID"), user);
    text += keyword(QStringLiteral("PWD"), password);
    return text;
}
