#include "platform/InstallationLock.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <qt_windows.h>

// One name per folder, whatever its spelling: the same folder reached by another case or through a junction
// gives the same name. "Global\" reaches the runs of other users' sessions too.
bool InstallationLock::tryToLock(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty())
        return true;
    const QByteArray key = QCryptographicHash::hash(canonical.toLower().toUtf8(), QCryptographicHash::Sha256).toHex();
    const std::wstring name = (QStringLiteral("Global\\Mud3IPSetup-") + QString::fromLatin1(key)).toStdWString();
    // The mutex is never acquired: that an object of this name exists is the lock, and it goes with the last
    // handle to it.
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    if (mutex && error != ERROR_ALREADY_EXISTS) {
        m_handle = reinterpret_cast<qintptr>(mutex);
        return true;
    }
    if (mutex) {
        CloseHandle(mutex);
        return false;
    }
    if (error == ERROR_ACCESS_DENIED) // another user's run holds it, and this user may not open it
        return false;
    failToLock(folder, int(error));
}

InstallationLock::~InstallationLock()
{
    if (m_handle)
        CloseHandle(reinterpret_cast<HANDLE>(*m_handle));
}
