#include "platform/FileReplacement.h"

#include "platform/Descriptor_unix.h"
#include "platform/Failure.h"
#include "platform/PathEntry.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

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

// What the temporary file's name adds to the target's, then six characters of its own.
const QByteArray TemporaryMark = QByteArrayLiteral(".Mud3IPSetup-");
constexpr int TemporaryUniqueLength = 6;

// The folder that path lies in, opened by walking its names, from the root for an absolute path: a symbolic
// link on the way is followed only where it belongs to this user or to root, so that nobody else can lead a
// write into a folder of theirs. Held open, it stays the folder that the replacement works in, whatever is
// swapped in for it meanwhile. -1 when it does not exist.
int openFolder(int start, const QByteArray &folder, const QString &path, int &linksFollowed)
{
    Descriptor current(::openat(start, folder.startsWith('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (current.get() < 0)
        failWithError(path, errno);
    for (const QByteArray &name : folder.split('/')) {
        if (name.isEmpty() || name == ".")
            continue;
        struct stat status {};
        if (::fstatat(current.get(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                return -1;
            failWithError(path, errno);
        }
        if (!S_ISLNK(status.st_mode)) {
            current.reset(::openat(current.get(), name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (current.get() < 0)
                failWithError(path, errno);
            continue;
        }
        if (status.st_uid != ::geteuid() && status.st_uid != 0)
            failWith(path, QStringLiteral("The folder \"%1\" on the way to it is a symbolic link that another user made, which the tool does "
                                          "not follow; nothing was written")
                               .arg(QFile::decodeName(name)));
        if (++linksFollowed > 40)
            failWithError(path, ELOOP);
        QByteArray target(4096, '\0');
        const ssize_t length = ::readlinkat(current.get(), name.constData(), target.data(), size_t(target.size()));
        if (length < 0)
            failWithError(path, errno);
        target.truncate(length);
        current.reset(openFolder(current.get(), target, path, linksFollowed));
        if (current.get() < 0)
            return -1;
    }
    return current.release();
}

// The folder of path, opened, and the name of path in it.
struct Place {
    explicit Place(const QString &path)
        : folder(-1)
        , name(QFile::encodeName(QFileInfo(path).fileName()))
    {
        int linksFollowed = 0;
        folder.reset(openFolder(AT_FDCWD, QFile::encodeName(QFileInfo(path).absolutePath()), path, linksFollowed));
    }
    bool exists() const { return folder.get() >= 0; }

    Descriptor folder;
    QByteArray name;
};

// What lies at the name in its folder, the entry itself.
PathEntry entryAt(const Place &place, const QString &path)
{
    struct stat status {};
    if (!place.exists() || ::fstatat(place.folder.get(), place.name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (!place.exists() || errno == ENOENT)
            return {};
        failWithError(path, errno);
    }
    return entryOf(status);
}

// The new content in a file of its own beside the target, private to the runner until it takes the target's
// place; removed again unless it does, or, when the process is killed first, by the next run.
class TemporaryFile {
public:
    TemporaryFile(const Place &place, const QString &path)
        : m_place(place)
        , m_path(path)
        , m_handle(-1)
    {
        static const char Characters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        for (int attempt = 0; m_handle.get() < 0; ++attempt) {
            m_name = place.name + TemporaryMark;
            for (int i = 0; i < TemporaryUniqueLength; ++i)
                m_name += Characters[QRandomGenerator::system()->bounded(int(sizeof Characters) - 1)];
            m_handle.reset(::openat(folder(), m_name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR));
            if (m_handle.get() < 0 && (errno != EEXIST || attempt == 100))
                failWithError(path, errno);
        }
        // Created private whatever the umask, and still private should the umask have taken more.
        if (::fchmod(m_handle.get(), S_IRUSR | S_IWUSR) != 0) {
            const int error = errno;
            ::unlinkat(folder(), m_name.constData(), 0);
            fail(error);
        }
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile()
    {
        if (!m_renamed)
            ::unlinkat(folder(), m_name.constData(), 0);
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

    void renameToTarget()
    {
        if (::fsync(handle()) != 0)
            fail(errno);
        if (::renameat(folder(), m_name.constData(), folder(), m_place.name.constData()) != 0)
            fail(errno);
        m_renamed = true;
    }

private:
    int folder() const { return m_place.folder.get(); }

    const Place &m_place;
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
void syncFolder(const Place &place, const QString &path)
{
    const Descriptor folder(::openat(place.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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

std::unique_ptr<OldFile> openOldFile(const Place &place, const QString &path, FileReplacement::IfMissing ifMissing)
{
    const PathEntry entry = entryAt(place, path);
    if (entry.kind == PathEntry::Kind::Missing && (ifMissing == FileReplacement::IfMissing::Fail || !place.exists()))
        failWithError(path, ENOENT);
    if (entry.kind == PathEntry::Kind::Missing || entry.kind == PathEntry::Kind::Link)
        return nullptr;
    requireRegularFile(path, entry);
    auto old = std::make_unique<OldFile>(
        ::openat(place.folder.get(), place.name.constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (old->handle.get() < 0)
        failWithError(path, errno);
    if (::fstat(old->handle.get(), &old->status) != 0)
        failWithError(path, errno);
    if (!S_ISREG(old->status.st_mode)) // swapped meanwhile
        requireRegularFile(path, entryAt(place, path));
    return old;
}

} // namespace

void FileReplacement::removeLeftovers(const QString &path)
{
    const Place place(path);
    if (!place.exists())
        return;
    const QString folderPath = QFileInfo(path).absolutePath();
    DIR *listing = ::fdopendir(::openat(place.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listing)
        failWithError(folderPath, errno);
    const QByteArray prefix = place.name + TemporaryMark;
    std::vector<QByteArray> leftovers;
    while (const struct dirent *entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name.size() == prefix.size() + TemporaryUniqueLength && name.startsWith(prefix))
            leftovers.push_back(name);
    }
    ::closedir(listing);
    for (const QByteArray &name : leftovers) {
        if (::unlinkat(place.folder.get(), name.constData(), 0) != 0 && errno != ENOENT && errno != EISDIR)
            failWithError(folderPath + QLatin1Char('/') + QFile::decodeName(name), errno);
    }
}

void FileReplacement::check(const QString &path, IfMissing ifMissing)
{
    const Place place(path);
    const std::unique_ptr<OldFile> old = openOldFile(place, path, ifMissing);
    if (old && !mayKeepGroup(old->status.st_gid))
        failToKeepGroup(path, old->status.st_gid);
    // The new content is written beside the old file first.
    if (::faccessat(place.folder.get(), ".", W_OK | X_OK, AT_EACCESS) != 0)
        failWithError(path, errno);
}

void FileReplacement::replace(const QString &path, const QByteArray &bytes, IfMissing ifMissing)
{
    const Place place(path);
    const std::unique_ptr<OldFile> old = openOldFile(place, path, ifMissing);
    TemporaryFile file(place, path);
    file.write(bytes);
    if (old)
        takeOverAccess(path, old->handle, old->status, file);
    file.renameToTarget();
    syncFolder(place, path);
}
