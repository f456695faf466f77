#include "platform/ShellOpen.h"

#include "platform/ProgramPath.h"

#include <QProcess>
#include <QStringList>

void RunFile(const QString &path, quintptr)
{
    // xdg-open hands the file to the desktop's opener; detached, so that the tool never waits for it.
    QProcess::startDetached(QStringLiteral("xdg-open"), {programRelativePath(path)}, QStringLiteral("/"));
}
