#include "database/DbConnection.h"
#include "database/OdbcConnectionString.h"
#include "platform/Failure.h"

#include <QList>
#include <QPair>
#include <gtest/gtest.h>

namespace {

using Keywords = QList<QPair<QString, QString>>;

// Reads a connection string the way an ODBC driver manager does: KEY=value pairs ended by ";", a value
// that starts with "{" runs to the matching "}" with "}}" standing for one "}".
Keywords parse(const QString &text)
{
    Keywords result;
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype equals = text.indexOf(QLatin1Char('='), at);
        if (equals < 0) {
            ADD_FAILURE() << "keyword without value in " << text.toStdString();
            break;
        }
        const QString key = text.mid(at, equals - at);
        at = equals + 1;
        QString value;
        if (at < text.size() && text.at(at) == QLatin1Char('{')) {
            ++at;
            for (;;) {
                if (at >= text.size()) {
                    ADD_FAILURE() << "unterminated brace in " << text.toStdString();
                    return result;
                }
                if (text.at(at) == QLatin1Char('}')) {
                    if (at + 1 < text.size() && text.at(at + 1) == QLatin1Char('}')) {
                        value += QLatin1Char('}');
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                value += text.at(at++);
            }
            if (at < text.size() && text.at(at) != QLatin1Char(';'))
                ADD_FAILURE() << "text after a closing brace in " << text.toStdString();
        } else {
            const qsizetype end = text.indexOf(QLatin1Char(';'), at);
            value = text.mid(at, end < 0 ? -1 : end - at);
            at = end < 0 ? text.size() : end;
        }
        result.append({key, value});
        if (at < text.size())
            ++at; // the ";"
    }
    return result;
}

QStringList keysOf(const Keywords &keywords)
{
    QStringList keys;
    for (const auto &keyword : keywords)
        keys.append(keyword.first);
    return keys;
}

QString valueOf(const Keywords &keywords, const QString &key)
{
    QString found;
    int count = 0;
    for (const auto &keyword : keywords) {
        if (keyword.first.compare(key, Qt::CaseInsensitive) == 0) {
            found = keyword.second;
            ++count;
        }
    }
    EXPECT_EQ(count, 1) << "keyword " << key.toStdString();
    return found;
}

const QStringList ExpectedKeys = {
    QStringLiteral("DRIVER"), QStringLiteral("Server"), QStringLiteral("Port"), QStringLiteral("TDS_Version"),
    QStringLiteral("ClientCharset"), QStringLiteral("Database"), QStringLiteral("UID"), QStringLiteral("PWD"),
};

} // namespace

// The server and the password reach the driver as typed: an empty server stays empty, and a password with
// ";", "=" and outer spaces stands whole in its keyword.
TEST(ConnectionText, ServerAndPasswordReachTheDriverAsTyped)
{
    struct Case {
        QString server;
        QString password;
        QString expectedServer;
    };
    for (const Case &c : {Case{QStringLiteral("sqlhost"), QStringLiteral("qef"), QStringLiteral("sqlhost")},
                          Case{QString(), QStringLiteral("qef"), QString()},
                          Case{QStringLiteral("192.0.2.11"), QStringLiteral(" p;w=d "), QStringLiteral("192.0.2.11")}}) {
        const Keywords keywords = parse(OdbcConnectionString::build(c.server, QStringLiteral("sa"), c.password, QStringLiteral("Account")));
        EXPECT_EQ(valueOf(keywords, QStringLiteral("Server")), c.expectedServer) << c.server.toStdString();
        EXPECT_EQ(valueOf(keywords, QStringLiteral("PWD")), c.password);
        EXPECT_EQ(valueOf(keywords, QStringLiteral("UID")), QStringLiteral("sa"));
        EXPECT_EQ(valueOf(keywords, QStringLiteral("Database")), QStringLiteral("Account"));
    }
}

TEST(ConnectionText, FailedOpenLeavesTheObjectClosed)
{
    DbConnection connection;
    // "}" is refused before anything is sent, so this needs no server.
    EXPECT_THROW(connection.OpenConnection(QStringLiteral("127.0.0.1,1"), QStringLiteral("sa"), QStringLiteral("a}b"), QStringLiteral("Account")),
                 Failure);
    EXPECT_EQ(connection.state(), DbConnection::State::Closed);
}

TEST(OdbcConnectionString, PlainValuesStandUnquoted)
{
    EXPECT_EQ(OdbcConnectionString::build(QStringLiteral("127.0.0.1,1433"), QStringLiteral("sa"), QStringLiteral("qef"), QStringLiteral("Account")),
              QStringLiteral("DRIVER=FreeTDS;Server=127.0.0.1;Port=1433;TDS_Version=7.4;ClientCharset=UTF-8;Database=Account;UID=sa;PWD=qef;"));
}

// FreeTDS knows no port of its own: one is always named, SQL Server's 1433 when the SQL IP names none.
TEST(OdbcConnectionString, EveryFormOfTheSqlIpNamesAHostAndAPort)
{
    const std::pair<QString, QStringList> cases[] = {
        {QStringLiteral("sqlhost"), {QStringLiteral("sqlhost"), QStringLiteral("1433")}},
        {QStringLiteral("sqlhost,1500"), {QStringLiteral("sqlhost"), QStringLiteral("1500")}},
        {QStringLiteral("sqlhost\\GAME,1501"), {QStringLiteral("sqlhost"), QStringLiteral("1501")}},
    };
    for (const auto &[server, hostAndPort] : cases) {
        const Keywords keywords = parse(OdbcConnectionString::build(server, QStringLiteral("sa"), QStringLiteral("qef"), QStringLiteral("Account")));
        EXPECT_EQ(QStringList({valueOf(keywords, QStringLiteral("Server")), valueOf(keywords, QStringLiteral("Port"))}), hostAndPort)
            << server.toStdString();
    }
}

TEST(OdbcConnectionString, PasswordHoldingAKeywordCannotAddOne)
{
    for (const QString &password : {QStringLiteral(";PWD=x;"), QStringLiteral("x;UID=postgres"), QStringLiteral("a;DRIVER=SQLite3;b"),
                                    QStringLiteral("{"), QStringLiteral("{PWD=x"), QStringLiteral("a{b"), QStringLiteral("=")}) {
        const Keywords keywords = parse(OdbcConnectionString::build(QStringLiteral("127.0.0.1,1433"), QStringLiteral("sa"), password,
                                                                    QStringLiteral("Account")));
        EXPECT_EQ(keysOf(keywords), ExpectedKeys) << password.toStdString();
        EXPECT_EQ(valueOf(keywords, QStringLiteral("PWD")), password);
        EXPECT_EQ(valueOf(keywords, QStringLiteral("UID")), QStringLiteral("sa"));
    }
}

TEST(OdbcConnectionString, SurroundingSpacesAreKeptByBraces)
{
    const QString text = OdbcConnectionString::build(QStringLiteral("127.0.0.1,1433"), QStringLiteral("sa"), QStringLiteral("  qef "),
                                                     QStringLiteral("Account"));
    EXPECT_TRUE(text.endsWith(QStringLiteral(";PWD={  qef };"))) << text.toStdString();
    EXPECT_EQ(valueOf(parse(text), QStringLiteral("PWD")), QStringLiteral("  qef "));
}

TEST(OdbcConnectionString, ServerHoldingAKeywordCannotAddOne)
{
    const Keywords keywords = parse(OdbcConnectionString::build(QStringLiteral("127.0.0.1;Database=master"), QStringLiteral("sa"),
                                                                QStringLiteral("qef"), QStringLiteral("Account")));
    EXPECT_EQ(valueOf(keywords, QStringLiteral("Server")), QStringLiteral("127.0.0.1;Database=master"));
    EXPECT_EQ(valueOf(keywords, QStringLiteral("Database")), QStringLiteral("Account"));
}

TEST(OdbcConnectionString, ClosingBraceIsRefusedNamingTheField)
{
    const auto causeFor = [](const QString &server, const QString &password) {
        try {
            OdbcConnectionString::build(server, QStringLiteral("sa"), password, QStringLiteral("Account"));
        } catch (const Failure &failure) {
            return failure.cause();
        }
        return QStringLiteral("no failure");
    };
    EXPECT_EQ(causeFor(QStringLiteral("127.0.0.1"), QStringLiteral("q}ef")),
              QStringLiteral("The SQL password holds \"}\", which the FreeTDS ODBC driver cannot pass on to the server"));
    EXPECT_EQ(causeFor(QStringLiteral("127.0.0.1}"), QStringLiteral("qef")),
              QStringLiteral("The SQL IP holds \"}\", which the FreeTDS ODBC driver cannot pass on to the server"));
    EXPECT_EQ(causeFor(QStringLiteral("127.0.0.1"), QStringLiteral("}}")),
              QStringLiteral("The SQL password holds \"}\", which the FreeTDS ODBC driver cannot pass on to the server"));
}

TEST(OdbcConnectionString, Driver18IsAskedToConnectAsTheOlderDriversDo)
{
    const QString asOlderDrivers = QStringLiteral("Encrypt=no;TrustServerCertificate=yes;");
    EXPECT_EQ(OdbcConnectionString::compatibilityKeywords(QStringLiteral("ODBC Driver 18 for SQL Server")), asOlderDrivers);
    EXPECT_EQ(OdbcConnectionString::compatibilityKeywords(QStringLiteral("ODBC Driver 19 for SQL Server")), asOlderDrivers);
    for (const QString &older : {QStringLiteral("ODBC Driver 17 for SQL Server"), QStringLiteral("ODBC Driver 11 for SQL Server"),
                                 QStringLiteral("SQL Server"), QStringLiteral("FreeTDS")})
        EXPECT_EQ(OdbcConnectionString::compatibilityKeywords(older), QString()) << older.toStdString();
}
