#include "update/DatabaseTargets.h"

#include "update/Failure.h"

void runDatabaseTarget(int, const QString &, const FieldSource &, Module1 &)
{
    throw Failure(QStringLiteral("The database targets are not built yet"));
}
