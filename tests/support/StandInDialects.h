#pragma once

#include "database/ServerDialect.h"

// The dialects of the servers that stand in for SQL Server in the tests and the demo.
namespace StandInDialects {

// PostgreSQL, reached through psqlODBC: its own lock time-out statement and states, its catalog, its quotes.
ServerDialect postgreSQL();

// A T-SQL server other than SQL Server: SQL Server's dialect, and Babelfish's error for a lock time-out,
// which SQL Server reports as 1222.
ServerDialect otherTSqlServer();

} // namespace StandInDialects
