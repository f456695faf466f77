#include "platform/ProgramPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryFile>

QString programFolder()
{
    return QCoreApplication::applicationDirPath();
}

QString writeFailureIn(const QString &folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("Mud3IPSetup-XXXXXX.tmp")));
    if (probe.open())
        return {};
    return probe.errorString();
}

QString programRelativePath(const QString &typedPath)
{
    const QString path = fileSystemPath(typedPath);
    if (!QDir::isRelativePath(path))
        return path;
    return QDir::toNativeSeparators(QDir(programFolder()).filePath(path));
}
