#include "platform/FileReplacement.h"

#include "platform/Descriptor_unix.h"
#include "platform/Failure.h"
#include "platform/PathEntry.h"

#include <QFile>
#include <QFileInfo>

#include <acl/libacl.h>
#include <algorithm>
#include <attr/libattr.h>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void failWith(const QString &path, const QString &cause)
{
    throw Failure(causeAt(path, cause));
}

[[noreturn]] void failWithError(const QString &path, int error)
{
    failWith(path, qt_error_string(error));
}

void requireRegularFile(const QString &path, const PathEntry &entry)
{
    if (entry.kind != PathEntry::Kind::File)
        failWith(path, QStringLiteral("This is %1, not a file; nothing was written").arg(entry.description()));
}

[[noreturn]] void failToKeepGroup(const QString &path, gid_t group)
{
    const struct group *entry = ::getgrgid(group);
    const QString name = entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(group);
    failWith(path, QStringLiteral("The file belongs to the group \"%1\", which this user is not a member of: its "
                                  "replacement could not keep that group, so the file was left as it was")
                       .arg(name));
}

// Only root may give a file away, and others only to a group of their own.
bool mayKeepGroup(gid_t group)
{
    if (::geteuid() == 0 || group == ::getegid())
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(size_t(std::max(count, 0)));
    return count > 0 && ::getgroups(count, groups.data()) == count && std::find(groups.begin(), groups.end(), group) != groups.end();
}

// What the temporary file's name adds to the target's; mkostemp fills in the six characters.
const QByteArray TemporaryMark = QByteArrayLiteral(".Mud3IPSetup-");
constexpr int TemporaryUniqueLength = 6;

// The new content in a file of its own beside the target, private to the runner until it takes the target's
// place; removed again unless it does, or, when the process is killed first, by the next run.
class TemporaryFile {
public:
    explicit TemporaryFile(const QString &path)
        : m_path(path)
        , m_name(QFile::encodeName(path) + TemporaryMark + QByteArray(TemporaryUniqueLength, 'X'))
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
    Descriptor m_handle;
    bool m_renamed = false;
};

// Owner (root only: nobody else may give a file away) and group first, while the file is still private;
// then the extended attributes, while it is still writable; then the ACL with the permission bits.
void takeOverAccess(const QString &path, const Descriptor &old, const struct stat &oldStatus, const TemporaryFile &file)
{
    const uid_t owner = ::geteuid() == 0 ? oldStatus.st_uid : uid_t(-1);
    if (::fchown(file.handle(), owner, oldStatus.st_gid) != 0) {
        if (errno == EPERM && owner == uid_t(-1))
            failToKeepGroup(path, oldStatus.st_gid);
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
    const Descriptor folder(::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        failWithError(path, errno);
    if (::fsync(folder.get()) != 0 && errno != EINVAL) // some file systems cannot sync a folder; the rename stands
        failWithError(path, errno);
}

// The old file opened for appending, which changes nothing in it and fails as the replacement should: a
// read-only file is left alone. Not following a link and not waiting for a pipe's other end keep an entry
// swapped in meanwhile from being opened. No old file: missing (when it may be created) or a link.
struct OldFile {
    explicit OldFile(int descriptor)
        : handle(descriptor)
    {
    }
    Descriptor handle;
    struct stat status {};
};

std::unique_ptr<OldFile> openOldFile(const QString &path, FileReplacement::IfMissing ifMissing)
{
    const PathEntry entry = PathEntry::at(path);
    if (entry.kind == PathEntry::Kind::Missing && ifMissing == FileReplacement::IfMissing::Fail)
        failWithError(path, ENOENT);
    if (entry.kind == PathEntry::Kind::Missing || entry.kind == PathEntry::Kind::Link)
        return nullptr;
    requireRegularFile(path, entry);
    auto old = std::make_unique<OldFile>(::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (old->handle.get() < 0)
        failWithError(path, errno);
    if (::fstat(old->handle.get(), &old->status) != 0)
        failWithError(path, errno);
    if (!S_ISREG(old->status.st_mode)) // swapped meanwhile
        requireRegularFile(path, PathEntry::at(path));
    return old;
}

} // namespace

void FileReplacement::removeLeftovers(const QString &path)
{
    const QFileInfo target(path);
    const Descriptor folder(::open(QFile::encodeName(target.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return;
        failWithError(target.absolutePath(), errno);
    }
    DIR *listing = ::fdopendir(::dup(folder.get()));
    if (!listing)
        failWithError(target.absolutePath(), errno);
    const QByteArray prefix = QFile::encodeName(target.fileName()) + TemporaryMark;
    std::vector<QByteArray> leftovers;
    while (const struct dirent *entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name.size() == prefix.size() + TemporaryUniqueLength && name.startsWith(prefix))
            leftovers.push_back(name);
    }
    ::closedir(listing);
    for (const QByteArray &name : leftovers) {
        if (::unlinkat(folder.get(), name.constData(), 0) != 0 && errno != ENOENT && errno != EISDIR)
            failWithError(target.absolutePath() + QLatin1Char('/') + QFile::decodeName(name), errno);
    }
}

void FileReplacement::check(const QString &path, IfMissing ifMissing)
{
    const std::unique_ptr<OldFile> old = openOldFile(path, ifMissing);
    if (old && !mayKeepGroup(old->status.st_gid))
        failToKeepGroup(path, old->status.st_gid);
    // The new content is written beside the old file first.
    if (::faccessat(AT_FDCWD, QFile::encodeName(QFileInfo(path).absolutePath()).constData(), W_OK | X_OK, AT_EACCESS) != 0)
        failWithError(path, errno);
}

void FileReplacement::replace(const QString &path, const QByteArray &bytes, IfMissing ifMissing)
{
    const std::unique_ptr<OldFile> old = openOldFile(path, ifMissing);
    TemporaryFile file(path);
    file.write(bytes);
    if (old)
        takeOverAccess(path, old->handle, old->status, file);
    file.renameTo(path);
    syncFolderOf(path);
}
