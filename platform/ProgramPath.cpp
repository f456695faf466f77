#include "platform/ProgramPath.h"

#include <QCoreApplication>
#include <QDir>

QString programRelativePath(const QString &typedPath)
{
    const QString path = fileSystemPath(typedPath);
    if (!QDir::isRelativePath(path))
        return path;
    return QDir::toNativeSeparators(QDir(QCoreApplication::applicationDirPath()).filePath(path));
}

QString causeAt(const QString &path, const QString &cause)
{
    return QLatin1Char('"') + path + QStringLiteral("\": ") + cause;
}
