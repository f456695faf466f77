#include "platform/ProgramPath.h"

QString fileSystemPath(const QString &typedPath)
{
    return typedPath;
}
