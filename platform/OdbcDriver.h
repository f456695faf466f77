#pragma once

#include <QList>
#include <QString>
#include <utility>

// The installed ODBC driver that reaches SQL Server, and what it needs to be told besides the database,
// the user and the password.
namespace OdbcDriver {

using Keywords = QList<std::pair<QString, QString>>;

// "FreeTDS" as registered in odbcinst.ini on Linux; on Windows the newest "ODBC Driver NN for SQL Server",
// else "SQL Server".
QString name();

// NN of "ODBC Driver NN for SQL Server"; 0 for any other driver.
int sqlServerDriverVersion(const QString &name);

// The server as the driver can reach it, typed as "host", "host,port", "host\instance" or
// "host\instance,port". An instance without a port is found as "host,port" where the driver cannot find it
// within the login's bound (FreeTDS): the machine's SQL Server Browser is asked. Throws Failure when no
// port can be found. Unchanged where the driver finds instances itself.
QString reachableServer(const QString &server);

// The keywords that name the server in the form the driver reads, followed by the driver's own settings.
Keywords serverKeywords(const QString &server);

// Whether a "}" can reach the driver in a value. FreeTDS before 1.4 ends a braced value at its first "}"
// and has no way to carry one.
bool carriesClosingBrace();

} // namespace OdbcDriver
