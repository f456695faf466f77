#include "platform/ProgramPath.h"

QString fileSystemPath(const QString &typedPath)
{
    QString path = typedPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}
