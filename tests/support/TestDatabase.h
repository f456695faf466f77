#pragma once

#include <QSqlDatabase>
#include <QString>

// The PostgreSQL server that scripts/postgres.sh started on loopback for the test run, reached through the
// same ODBC path as the tool (psqlODBC registered as "FreeTDS"). Login "sa", password "qef", database "Account".
namespace TestDatabase {

// The port of the test server, from MUD3_PG_PORT. Fails the test when no test server runs.
QString port();

// "127.0.0.1,PORT" (on Windows "127.0.0.1", the default port), the text a test puts into txtSQLIP. Fails
// the test when no test server runs.
QString sqlAddress();

// A connection of the test's own, for preparing tables and reading rows back.
QSqlDatabase admin();

// Runs statements on admin(); fails the test on the first error.
void execute(const QStringList &statements);

// The same for any server of the tests: a connection of its own under connectionName, opened on first use.
QSqlDatabase adminConnection(const QString &connectionName, const QString &port);
void execute(QSqlDatabase database, const QStringList &statements);

} // namespace TestDatabase
