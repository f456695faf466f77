#include "platform/PrivateFolder.h"

#include "platform/Descriptor_unix.h"
#include "platform/Failure.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

[[noreturn]] void failWithError(const QString &path, int error)
{
    throw Failure(causeAt(path, qt_error_string(error)));
}

QString userName(uid_t user)
{
    const struct passwd *entry = ::getpwuid(user);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(user);
}

// What someone else can put there could lead a restore to write it into the installation, or a prune to
// remove what it names: nothing in it is used.
void requirePrivate(const QString &path, const struct stat &status)
{
    const QString what = S_ISDIR(status.st_mode) ? QStringLiteral("folder") : QStringLiteral("file");
    if (status.st_uid != ::geteuid())
        throw Failure(causeAt(path, QStringLiteral("This %1 belongs to the user \"%2\", not to \"%3\" who runs the tool; someone else could have "
                                                   "put what it holds there, so none of it was used")
                                        .arg(what, userName(status.st_uid), userName(::geteuid()))));
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        throw Failure(causeAt(path, QStringLiteral("Others may write this %1 (its permissions are %2); someone else could have put what it "
                                                   "holds there, so none of it was used; let only its owner write it (chmod go-w)")
                                        .arg(what)
                                        .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'))));
}

// The folder that a failed or successful open of path gave, checked.
int checkedFolder(int handle, const QString &path)
{
    if (handle < 0) {
        const int error = errno;
        if (error == ENOENT)
            return -1;
        if (error == ELOOP || error == ENOTDIR)
            throw Failure(causeAt(path, QStringLiteral("This is %1, not a folder; none of it was used").arg(PathEntry::at(path).description())));
        failWithError(path, error);
    }
    Descriptor folder(handle);
    struct stat status {};
    if (::fstat(handle, &status) != 0)
        failWithError(path, errno);
    requirePrivate(path, status);
    return folder.release();
}

std::vector<QByteArray> namesIn(int folder, const QString &path)
{
    DIR *listing = ::fdopendir(::dup(folder));
    if (!listing)
        failWithError(path, errno);
    std::vector<QByteArray> names;
    errno = 0;
    while (const struct dirent *entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.push_back(name);
    }
    const int error = errno;
    ::closedir(listing);
    if (error != 0)
        failWithError(path, error);
    return names;
}

// Removes name in folder: a folder is opened without following a link and emptied through its descriptor,
// anything else (a link included) is unlinked itself.
void removeIn(int folder, const QByteArray &name, const QString &path)
{
    const Descriptor opened(::openat(folder, name.constData(), FolderFlags));
    if (opened.get() < 0) {
        if (errno == ENOENT)
            return;
        if (errno != ELOOP && errno != ENOTDIR)
            failWithError(path, errno);
        if (::unlinkat(folder, name.constData(), 0) != 0 && errno != ENOENT)
            failWithError(path, errno);
        return;
    }
    for (const QByteArray &entry : namesIn(opened.get(), path))
        removeIn(opened.get(), entry, path + QLatin1Char('/') + QFile::decodeName(entry));
    if (::unlinkat(folder, name.constData(), AT_REMOVEDIR) != 0 && errno != ENOENT)
        failWithError(path, errno);
}

} // namespace

PrivateFolder::PrivateFolder(qintptr handle, const QString &path)
    : m_handle(handle)
    , m_path(path)
{
}

PrivateFolder::PrivateFolder(PrivateFolder &&other) noexcept
    : m_handle(other.m_handle)
    , m_path(other.m_path)
{
    other.m_handle = -1;
}

PrivateFolder &PrivateFolder::operator=(PrivateFolder &&other) noexcept
{
    std::swap(m_handle, other.m_handle);
    std::swap(m_path, other.m_path);
    return *this;
}

PrivateFolder::~PrivateFolder()
{
    if (m_handle >= 0)
        ::close(int(m_handle));
}

std::optional<PrivateFolder> PrivateFolder::open(const QString &path)
{
    const int handle = checkedFolder(::open(QFile::encodeName(path).constData(), FolderFlags), path);
    if (handle < 0)
        return std::nullopt;
    return PrivateFolder(handle, path);
}

QStringList PrivateFolder::folders() const
{
    QStringList folders;
    for (const QByteArray &name : namesIn(int(m_handle), m_path)) {
        struct stat status {};
        if (::fstatat(int(m_handle), name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode))
            folders.append(QFile::decodeName(name));
    }
    folders.sort();
    return folders;
}

PathEntry::Kind PrivateFolder::kind(const QString &relativePath) const
{
    struct stat status {};
    if (::fstatat(int(m_handle), QFile::encodeName(relativePath).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return PathEntry::Kind::Missing;
        failWithError(m_path + QLatin1Char('/') + relativePath, errno);
    }
    return entryOf(status).kind;
}

std::optional<PrivateFolder> PrivateFolder::folder(const QString &name) const
{
    const QString path = m_path + QLatin1Char('/') + name;
    const int handle = checkedFolder(::openat(int(m_handle), QFile::encodeName(name).constData(), FolderFlags), path);
    if (handle < 0)
        return std::nullopt;
    return PrivateFolder(handle, path);
}

QByteArray PrivateFolder::readHere(const QString &name, qint64 maxSize) const
{
    const QString path = m_path + QLatin1Char('/') + name;
    const Descriptor file(::openat(int(m_handle), QFile::encodeName(name).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    return readOpenFile(file.get(), path, maxSize, [&path](const struct stat &status) { requirePrivate(path, status); });
}

void PrivateFolder::remove(const QString &name) const
{
    removeIn(int(m_handle), QFile::encodeName(name), m_path + QLatin1Char('/') + name);
}
