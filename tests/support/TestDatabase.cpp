#include "support/TestDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

QString port()
{
    const QString value = qEnvironmentVariable("MUD3_PG_PORT");
    if (value.isEmpty())
        ADD_FAILURE() << "No test database: run the tests through scripts/test.sh, which starts one";
    return value;
}

} // namespace

QString TestDatabase::sqlAddress()
{
#ifdef Q_OS_WIN
    // psqlODBC, standing in for SQL Server under Wine, reads "host,port" as two hosts: there the test
    // server listens on the default port, in a network namespace of the test run's own.
    port();
    return QStringLiteral("127.0.0.1");
#else
    return QStringLiteral("127.0.0.1,") + port();
#endif
}

QSqlDatabase TestDatabase::admin()
{
    return adminConnection(QStringLiteral("test-admin"), port());
}

void TestDatabase::execute(const QStringList &statements)
{
    execute(admin(), statements);
}

QSqlDatabase TestDatabase::adminConnection(const QString &connectionName, const QString &port)
{
    QSqlDatabase database = QSqlDatabase::contains(connectionName) ? QSqlDatabase::database(connectionName, false)
                                                                   : QSqlDatabase::addDatabase(QStringLiteral("QODBC"), connectionName);
    if (database.isOpen())
        return database;
    database.setDatabaseName(QStringLiteral("DRIVER={FreeTDS};Server=127.0.0.1;Port=%1;Database=Account;UID=sa;PWD=qef;").arg(port));
    if (!database.open())
        ADD_FAILURE() << "Cannot reach the test database on port " << port.toStdString() << ": "
                      << database.lastError().text().toStdString();
    return database;
}

void TestDatabase::execute(QSqlDatabase database, const QStringList &statements)
{
    for (const QString &statement : statements) {
        QSqlQuery query(database);
        if (!query.exec(statement)) {
            ADD_FAILURE() << statement.toStdString() << ": " << query.lastError().text().toStdString();
            return;
        }
    }
}
