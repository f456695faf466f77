#include "support/TestDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <gtest/gtest.h>

QString TestDatabase::port()
{
    const QString value = qEnvironmentVariable("MUD3_PG_PORT");
    if (value.isEmpty())
        ADD_FAILURE() << "No test database: run the tests through scripts/test.sh, which starts one";
    return value;
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
