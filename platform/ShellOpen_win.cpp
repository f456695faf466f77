#include "platform/ShellOpen.h"

#include "platform/ProgramPath.h"

#include <qt_windows.h>
#include <shellapi.h>

void RunFile(const QString &path, quintptr ownerWindow)
{
    // The launched program starts in the root of the system drive, whatever the Mud3 path is.
    ShellExecuteW(reinterpret_cast<HWND>(ownerWindow), nullptr, programRelativePath(path).toStdWString().c_str(), nullptr,
                  L"C:\\", SW_SHOWNORMAL);
}
