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
