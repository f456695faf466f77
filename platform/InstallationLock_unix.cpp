#include "platform/InstallationLock.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// A lock on the folder's own inode: the same folder reached through a link or by another spelling is the
// same lock, and no file is created for it.
bool InstallationLock::tryToLock(const QString &folder)
{
    const int handle = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return true;
        failToLock(folder, errno);
    }
    if (::flock(handle, LOCK_EX | LOCK_NB) == 0) {
        m_handle = handle;
        return true;
    }
    const int error = errno;
    ::close(handle);
    if (error == EWOULDBLOCK)
        return false;
    failToLock(folder, error);
}

InstallationLock::~InstallationLock()
{
    if (m_handle)
        ::close(int(*m_handle));
}
