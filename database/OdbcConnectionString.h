#pragma once

#include <QString>

// The ODBC connection string that reaches SQL Server. Every value is brace-quoted by the ODBC rules when it
// holds a character that would otherwise end or change a keyword, so that a password reaches the server
// exactly as typed and can never add a keyword of its own.
namespace OdbcConnectionString {

// The value as it must stand after "KEY=": unchanged when plain, else "{...}" with "}" doubled.
QString quoted(const QString &value);

// What the driver needs to connect as the older SQL Server drivers do, without the client demanding
// encryption: nothing, or for "ODBC Driver 18 for SQL Server" and later, which encrypt by default and refuse
// a server whose certificate they cannot verify, "Encrypt=no;TrustServerCertificate=yes;".
QString compatibilityKeywords(const QString &driver);

// server may be "host", "host,port" or "host\instance". Throws Failure for a value that the driver
// cannot carry unchanged.
QString build(const QString &server, const QString &user, const QString &password, const QString &catalog);

} // namespace OdbcConnectionString
