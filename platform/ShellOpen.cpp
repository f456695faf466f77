#include "platform/ShellOpen.h"

#include "platform/ProgramPath.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#else
#include <QProcess>
#include <QStringList>
#endif

void RunFile(const QString &path, [[maybe_unused]] quintptr ownerWindow)
{
    // The file the update run would find: a relative Mud3 path starts from the program's folder.
    const QString file = programRelativePath(path);
#ifdef Q_OS_WIN
    // The launched program starts in the root of the system drive, whatever the Mud3 path is.
    ShellExecuteW(reinterpret_cast<HWND>(ownerWindow), nullptr, file.toStdWString().c_str(), nullptr, L"C:\\", SW_SHOWNORMAL);
#else
    // xdg-open hands the file to the desktop's opener; detached, so that the tool never waits for it.
    QProcess::startDetached(QStringLiteral("xdg-open"), {file}, QStringLiteral("/"));
#endif
}
