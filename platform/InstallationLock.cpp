#include "platform/InstallationLock.h"

#include "platform/Failure.h"
#include "platform/ProgramPath.h"

#ifdef Q_OS_WIN
#include <QCryptographicHash>
#include <QFileInfo>
#include <qt_windows.h>
#else
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

[[noreturn]] void failBusy(const QString &folder)
{
    throw Failure(causeAt(folder, QStringLiteral("Another update run is working on this installation, so this run wrote "
                                                 "nothing; try again when it has ended")));
}

[[noreturn]] void failToLock(const QString &folder, int error)
{
    throw Failure(causeAt(folder, QStringLiteral("This installation cannot be reserved for the run: ") + qt_error_string(error)));
}

} // namespace

#ifdef Q_OS_WIN

// One name per folder, whatever its spelling: the same folder reached by another case or through a junction
// gives the same name. "Global\" reaches the runs of other users' sessions too.
InstallationLock::InstallationLock(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty())
        return;
    const QByteArray key = QCryptographicHash::hash(canonical.toLower().toUtf8(), QCryptographicHash::Sha256).toHex();
    const std::wstring name = (QStringLiteral("Global\\Mud3IPSetup-") + QString::fromLatin1(key)).toStdWString();
    // The mutex is never acquired: that an object of this name exists is the lock, and it goes with the last
    // handle to it.
    m_mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    if (m_mutex && error != ERROR_ALREADY_EXISTS)
        return;
    if (m_mutex) {
        CloseHandle(m_mutex);
        m_mutex = nullptr;
        failBusy(folder);
    }
    if (error == ERROR_ACCESS_DENIED) // another user's run holds it, and this user may not open it
        failBusy(folder);
    failToLock(folder, int(error));
}

InstallationLock::~InstallationLock()
{
    if (m_mutex)
        CloseHandle(m_mutex);
}

#else

// A lock on the folder's own inode: the same folder reached through a link or by another spelling is the
// same lock, and no file is created for it.
InstallationLock::InstallationLock(const QString &folder)
{
    m_handle = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_handle < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return;
        failToLock(folder, errno);
    }
    if (::flock(m_handle, LOCK_EX | LOCK_NB) == 0)
        return;
    const int error = errno;
    ::close(m_handle);
    m_handle = -1;
    if (error == EWOULDBLOCK)
        failBusy(folder);
    failToLock(folder, error);
}

InstallationLock::~InstallationLock()
{
    if (m_handle >= 0)
        ::close(m_handle);
}

#endif
