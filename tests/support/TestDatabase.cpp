#include "support/TestDatabase.h"

#include "database/ServerDialect.h"
#include "support/StandInDialects.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

// The tool speaks the test server's dialect from the start of every test program.
const bool DialectHandedOver = [] {
    useServerDialect(TestDatabase::isTSql() ? StandInDialects::otherTSqlServer() : StandInDialects::postgreSQL());
    return true;
}();

bool isLoopback(const QString &address)
{
    const QString host = address.section(QLatin1Char(','), 0, 0).section(QLatin1Char('\\'), 0, 0);
    return host == QLatin1String("127.0.0.1") || host == QLatin1String("::1") || host == QLatin1String("localhost");
}

} // namespace

bool TestDatabase::isTSql()
{
    return !qEnvironmentVariableIsEmpty("MUD3_TEST_SQLSERVER");
}

QString TestDatabase::port()
{
    const QString value = qEnvironmentVariable("MUD3_PG_PORT");
    if (value.isEmpty())
        ADD_FAILURE() << "No test database: run the tests through scripts/test.sh, which starts one";
    return value;
}

QString TestDatabase::password()
{
    return isTSql() ? qEnvironmentVariable("MUD3_TEST_SQLSERVER_PASSWORD") : QStringLiteral("qef");
}

QString TestDatabase::toolExecutable()
{
    return isTSql() ? QStringLiteral(MUD3_PRODUCT_EXECUTABLE) : QStringLiteral(MUD3_STANDIN_EXECUTABLE);
}

QString TestDatabase::either(const QString &postgreSql, const QString &tSql)
{
    return isTSql() ? tSql : postgreSql;
}

QString TestDatabase::reportedNames(const QString &text)
{
    if (isTSql())
        return text;
    static const QRegularExpression name(QStringLiteral("\\bFLD_[A-Z0-9_]+(?= = \")"));
    QString folded = text;
    for (auto match = name.globalMatch(text); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        folded.replace(found.capturedStart(), found.capturedLength(), found.captured().toLower());
    }
    return folded;
}

bool TestDatabase::inTransaction(QSqlDatabase session)
{
    QSqlQuery query(session);
    query.setForwardOnly(true);
    // On PostgreSQL a statement outside a transaction is one of its own, started with it.
    if (!query.exec(either(QStringLiteral("SELECT CASE WHEN xact_start < query_start THEN 1 ELSE 0 END FROM pg_stat_activity "
                                          "WHERE pid = pg_backend_pid()"),
                           QStringLiteral("SELECT @@TRANCOUNT")))
        || !query.next()) {
        ADD_FAILURE() << "the session's transaction cannot be read: " << query.lastError().text().toStdString();
        return true;
    }
    return query.value(0).toInt() != 0;
}

QSqlDatabase TestDatabase::admin()
{
    return adminConnection(QStringLiteral("test-admin"), sqlAddress());
}

void TestDatabase::execute(const QStringList &statements)
{
    execute(admin(), statements);
}

QSqlDatabase TestDatabase::adminConnection(const QString &connectionName, const QString &address)
{
    QSqlDatabase database = QSqlDatabase::contains(connectionName) ? QSqlDatabase::database(connectionName, false)
                                                                   : QSqlDatabase::addDatabase(QStringLiteral("QODBC"), connectionName);
    if (database.isOpen())
        return database;
    if (!isLoopback(address)) {
        ADD_FAILURE() << "refusing to reach a test server off loopback: " << address.toStdString();
        return database;
    }
    const QString host = address.section(QLatin1Char(','), 0, 0);
    // A bare address is SQL Server's default port, or PostgreSQL's.
    const QString port = address.contains(QLatin1Char(',')) ? address.section(QLatin1Char(','), 1) : isTSql() ? QStringLiteral("1433") : QString();
    database.setDatabaseName(QStringLiteral("DRIVER={FreeTDS};Server=%1;%2TDS_Version=7.4;ClientCharset=UTF-8;Database=Account;UID=sa;PWD={%3};")
                                 .arg(host, port.isEmpty() ? QString() : QStringLiteral("Port=%1;").arg(port), password()));
    if (!database.open())
        ADD_FAILURE() << "Cannot reach the test database at " << address.toStdString() << ": " << database.lastError().text().toStdString();
    return database;
}

void TestDatabase::execute(QSqlDatabase database, const QStringList &statements)
{
    for (const QString &statement : statements) {
        // Forward-only: a T-SQL server opens no cursor over a statement that is not a query.
        QSqlQuery query(database);
        query.setForwardOnly(true);
        if (!query.exec(statement)) {
            ADD_FAILURE() << statement.toStdString() << ": " << query.lastError().text().toStdString();
            return;
        }
    }
}
