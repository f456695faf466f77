#include "app/Tool.h"
#include "database/ServerDialect.h"
#include "support/StandInDialects.h"

// The tool as the tests and the demo run it against PostgreSQL standing in for SQL Server: the same program,
// speaking PostgreSQL's dialect.
int main(int argc, char *argv[])
{
    useServerDialect(StandInDialects::postgreSQL());
    return runTool(argc, argv);
}
