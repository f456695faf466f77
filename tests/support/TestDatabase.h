#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The server that the tests run against, login "sa", database "Account":
// - by default the private PostgreSQL that scripts/postgres.sh started on loopback, reached through psqlODBC
//   registered under the driver name the tool asks for, and spoken to in PostgreSQL's dialect, handed to the
//   tool through its dialect seam (password "qef");
// - with MUD3_TEST_SQLSERVER=host,port (a loopback address) and MUD3_TEST_SQLSERVER_PASSWORD, a T-SQL server
//   reached through the real FreeTDS driver, in SQL Server's own dialect.
namespace TestDatabase {

// Whether the tests run against a T-SQL server rather than the private PostgreSQL.
bool isTSql();

// The port of the private PostgreSQL, from MUD3_PG_PORT. Fails the test when no test server runs.
QString port();

// The text a test puts into txtSQLIP: the T-SQL server's address, or "127.0.0.1,PORT" of the PostgreSQL (on
// Windows "127.0.0.1", the default port). Fails the test when no test server runs.
QString sqlAddress();
// The password of "sa".
QString password();

// The program a test starts: Mud3IPSetup as built, or, against PostgreSQL, the same program speaking its dialect.
QString toolExecutable();

// Of two spellings of a statement, the one the test server takes.
QString either(const QString &postgreSql, const QString &tSql);

// Column names as the test server reports them in a row: PostgreSQL folds "FLD_ID = " to "fld_id = ".
QString reportedNames(const QString &text);

// Whether a transaction is left open on session, a connection of the tool's.
bool inTransaction(QSqlDatabase session);

// A connection of the test's own, for preparing tables and reading rows back.
QSqlDatabase admin();

// Runs statements on admin(); fails the test on the first error.
void execute(const QStringList &statements);

// The same for any server of the tests: a connection of its own under connectionName, opened on first use,
// to the server at address ("host,port").
QSqlDatabase adminConnection(const QString &connectionName, const QString &address);
void execute(QSqlDatabase database, const QStringList &statements);

} // namespace TestDatabase
