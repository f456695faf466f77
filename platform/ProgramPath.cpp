#include "platform/ProgramPath.h"

#include <QCoreApplication>
#include <QDir>

QString programFolder()
{
    return QCoreApplication::applicationDirPath();
}

QString programRelativePath(const QString &typedPath)
{
    const QString path = fileSystemPath(typedPath);
    if (!QDir::isRelativePath(path))
        return path;
    return QDir::toNativeSeparators(QDir(programFolder()).filePath(path));
}
