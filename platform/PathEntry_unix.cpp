#include "platform/PathEntry.h"

#include "platform/Descriptor_unix.h"
#include "platform/Failure.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void failWithError(const QString &path, int error)
{
    throw Failure(causeAt(path, qt_error_string(error)));
}

} // namespace

PathEntry entryOf(const struct stat &status)
{
    PathEntry entry;
    if (S_ISREG(status.st_mode)) {
        entry.kind = PathEntry::Kind::File;
        entry.size = status.st_size;
    } else if (S_ISLNK(status.st_mode)) {
        entry.kind = PathEntry::Kind::Link;
    } else if (S_ISDIR(status.st_mode)) {
        entry.kind = PathEntry::Kind::Folder;
    } else {
        entry.kind = PathEntry::Kind::Other;
        entry.otherKind = S_ISFIFO(status.st_mode)                        ? QStringLiteral("a named pipe")
            : S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)          ? QStringLiteral("a device")
            : S_ISSOCK(status.st_mode)                                     ? QStringLiteral("a socket")
                                                                           : QStringLiteral("no regular file");
    }
    return entry;
}

PathEntry PathEntry::at(const QString &path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        failWithError(path, errno);
    }
    PathEntry entry = entryOf(status);
    if (entry.kind == Kind::Link)
        entry.linkTarget = QFileInfo(path).symLinkTarget();
    return entry;
}

QByteArray readRegularFile(const QString &path, qint64 maxSize)
{
    // Not following a link and not waiting for a pipe's writer keep an entry swapped in meanwhile from being read.
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    return readOpenFile(file.get(), path, maxSize, {});
}

QByteArray readOpenFile(int handle, const QString &path, qint64 maxSize, const std::function<void(const struct stat &)> &requireReadable)
{
    if (handle < 0) {
        if (errno == ELOOP)
            throw Failure(causeAt(path, QStringLiteral("This is a symbolic link, which is never followed; it was not read")));
        failWithError(path, errno);
    }
    struct stat status {};
    if (::fstat(handle, &status) != 0)
        failWithError(path, errno);
    const PathEntry entry = entryOf(status);
    if (entry.kind != PathEntry::Kind::File)
        throw Failure(causeAt(path, QStringLiteral("This is %1, not a file; it was not read").arg(entry.description())));
    if (requireReadable)
        requireReadable(status);
    if (entry.size > maxSize)
        throw Failure(causeAt(path, tooLargeCause(entry.size, maxSize)));
    QByteArray bytes(entry.size, Qt::Uninitialized);
    qint64 read = 0;
    while (read < bytes.size()) {
        const ssize_t step = ::read(handle, bytes.data() + read, size_t(bytes.size() - read));
        if (step < 0 && errno == EINTR)
            continue;
        if (step < 0)
            failWithError(path, errno);
        if (step == 0)
            break; // cut short meanwhile: what is there is the file
        read += step;
    }
    bytes.truncate(read);
    return bytes;
}

QString ownLinkTarget(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat link {};
    if (::lstat(name.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    struct stat target {};
    const bool targetExists = ::stat(name.constData(), &target) == 0;
    if (!targetExists || link.st_uid != ::geteuid() || target.st_uid != ::geteuid())
        throw Failure(causeAt(path, QStringLiteral("This is a symbolic link to \"%1\", which does not lead to a file of the user "
                                                   "running the tool, so nothing was written through it")
                                        .arg(QFileInfo(path).symLinkTarget())));
    return QFileInfo(path).canonicalFilePath();
}
