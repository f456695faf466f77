#pragma once

#include <QString>

// Fields and captions spell paths the Windows way. Where the file system separates with "/",
// every backslash becomes one as the path reaches it.
inline QString fileSystemPath(QString path)
{
#ifndef Q_OS_WIN
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
#endif
    return path;
}

// A path typed into a field, as the file system is asked for it. A relative path is taken from the folder of
// the program (where Settings.ini lies), whatever folder the program was started from, so that the update
// run and the launcher buttons find the same files.
QString programRelativePath(const QString &typedPath);

// A cause about a path: the full path in quotes, so that a blank at either end can be seen, then what happened.
QString causeAt(const QString &path, const QString &cause);
