#include "platform/FileReplacement.h"

#include "platform/Failure.h"

#include <QFile>
#include <QFileInfo>

#include <acl/libacl.h>
#include <attr/libattr.h>
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void failWith(const QString &path, const QString &cause)
{
    throw Failure(causeAt(path, cause));
}

[[noreturn]] void failWithError(const QString &path, int error)
{
    failWith(path, qt_error_string(error));
}

class Handle {
public:
    Handle() = default;
    explicit Handle(int handle)
        : m_handle(handle)
    {
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle()
    {
        if (m_handle >= 0)
            ::close(m_handle);
    }

    int get() const { return m_handle; }

private:
    int m_handle = -1;
};

QString whatIsThere(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("no regular file");
}

void requireRegularFile(const QString &path, mode_t mode)
{
    if (!S_ISREG(mode))
        failWith(path, QStringLiteral("This is %1, not a file; nothing was written").arg(whatIsThere(mode)));
}

QString groupName(gid_t group)
{
    const struct group *entry = ::getgrgid(group);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(group);
}

// The new content in a file of its own beside the target, private to the runner until it takes the target's
// place; removed again unless it does.
class TemporaryFile {
public:
    explicit TemporaryFile(const QString &path)
        : m_path(path)
        , m_name(QFile::encodeName(path) + ".XXXXXX")
        , m_handle(::mkostemp(m_name.data(), O_CLOEXEC))
    {
        if (m_handle.get() < 0)
            failWithError(path, errno);
        if (::fchmod(m_handle.get(), S_IRUSR | S_IWUSR) != 0) {
            const int error = errno;
            ::unlink(m_name.constData());
            fail(error);
        }
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile()
    {
        if (!m_renamed)
            ::unlink(m_name.constData());
    }

    int handle() const { return m_handle.get(); }

    [[noreturn]] void fail(int error) const { failWithError(m_path, error); }

    // A disk that fills up mid-way takes part of a write without a word; writing the rest again makes the
    // system name the cause.
    void write(const QByteArray &bytes) const
    {
        for (qsizetype written = 0; written < bytes.size();) {
            const ssize_t step = ::write(handle(), bytes.constData() + written, size_t(bytes.size() - written));
            if (step < 0 && errno != EINTR)
                fail(errno);
            written += std::max<ssize_t>(step, 0);
        }
    }

    void renameTo(const QString &path)
    {
        if (::fsync(handle()) != 0)
            fail(errno);
        if (::rename(m_name.constData(), QFile::encodeName(path).constData()) != 0)
            fail(errno);
        m_renamed = true;
    }

private:
    QString m_path;
    QByteArray m_name;
    Handle m_handle;
    bool m_renamed = false;
};

// Owner (root only: nobody else may give a file away) and group first, while the file is still private;
// then the extended attributes, while it is still writable; then the ACL with the permission bits.
void takeOverAccess(const QString &path, const Handle &old, const struct stat &oldStatus, const TemporaryFile &file)
{
    const uid_t owner = ::geteuid() == 0 ? oldStatus.st_uid : uid_t(-1);
    if (::fchown(file.handle(), owner, oldStatus.st_gid) != 0) {
        if (errno == EPERM && owner == uid_t(-1))
            failWith(path, QStringLiteral("The file belongs to the group \"%1\", which this user is not a member of: its "
                                          "replacement could not keep that group, so the file was left as it was")
                               .arg(groupName(oldStatus.st_gid)));
        file.fail(errno);
    }
    const QByteArray name = QFile::encodeName(path);
    if (::attr_copy_fd(name.constData(), old.get(), name.constData(), file.handle(), nullptr, nullptr) != 0)
        failWith(path, QStringLiteral("Its extended attributes cannot be carried over: ") + qt_error_string(errno));
    if (::perm_copy_fd(name.constData(), old.get(), name.constData(), file.handle(), nullptr) != 0)
        failWith(path, QStringLiteral("Its permissions cannot be carried over: ") + qt_error_string(errno));
}

// The rename is durable only once the folder's entry is on disk.
void syncFolderOf(const QString &path)
{
    const Handle folder(::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        failWithError(path, errno);
    if (::fsync(folder.get()) != 0 && errno != EINVAL) // some file systems cannot sync a folder; the rename stands
        failWithError(path, errno);
}

} // namespace

void FileReplacement::replace(const QString &path, const QByteArray &bytes, IfMissing ifMissing)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    const bool exists = ::lstat(name.constData(), &status) == 0;
    if (!exists && (errno != ENOENT || ifMissing != IfMissing::Create))
        failWithError(path, errno);

    // Opening an old regular file for appending changes nothing in it, and fails as the replacement should: a
    // read-only file is left alone. Not following a link and not waiting for a pipe's other end keep an entry
    // swapped in meanwhile from being opened.
    const bool oldFile = exists && !S_ISLNK(status.st_mode);
    if (oldFile)
        requireRegularFile(path, status.st_mode);
    const Handle old(oldFile ? ::open(name.constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1);
    if (oldFile) {
        if (old.get() < 0)
            failWithError(path, errno);
        if (::fstat(old.get(), &status) != 0)
            failWithError(path, errno);
        requireRegularFile(path, status.st_mode);
    }

    TemporaryFile file(path);
    file.write(bytes);
    if (oldFile)
        takeOverAccess(path, old, status, file);
    file.renameTo(path);
    syncFolderOf(path);
}
