#include "app/Launcher.h"

#include "update/FileSystemPath.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#else
#include <QProcess>
#include <QStringList>
#endif

void RunFile(const QString &path, [[maybe_unused]] quintptr ownerWindow)
{
#ifdef Q_OS_WIN
    // The launched program starts in the root of the system drive, whatever the Mud3 path is.
    const std::wstring file = path.toStdWString();
    ShellExecuteW(reinterpret_cast<HWND>(ownerWindow), nullptr, file.c_str(), nullptr, L"C:\\", SW_SHOWNORMAL);
#else
    // xdg-open hands the file to the desktop's opener; detached, so that the tool never waits for it.
    QProcess::startDetached(QStringLiteral("xdg-open"), {fileSystemPath(path)}, QStringLiteral("/"));
#endif
}
