#include "update/TextFile.h"

#include "update/CodePage.h"
#include "update/Failure.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

void failWith(const QString &path, const QString &cause)
{
    throw Failure(QStringLiteral("%1: %2").arg(path, cause));
}

#ifdef Q_OS_UNIX
QString errnoText(int error)
{
    return qt_error_string(error);
}

// The replacement takes over what the old file had; a new file holds a password, so only its owner reads it.
void carryOverOwnership(const QString &path, int handle, bool existed)
{
    struct stat old {};
    if (existed && ::stat(QFile::encodeName(path).constData(), &old) == 0) {
        if (::fchmod(handle, old.st_mode & 07777) != 0)
            failWith(path, errnoText(errno));
        if (::geteuid() == 0 && ::fchown(handle, old.st_uid, old.st_gid) != 0)
            failWith(path, errnoText(errno));
    } else if (::fchmod(handle, S_IRUSR | S_IWUSR) != 0) {
        failWith(path, errnoText(errno));
    }
}

// The rename is durable only once the folder's entry is on disk.
void syncFolderOf(const QString &path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int handle = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        failWith(path, errnoText(errno));
    const int synced = ::fsync(handle);
    const int error = errno;
    ::close(handle);
    if (synced != 0 && error != EINVAL) // some file systems cannot sync a folder; the rename stands
        failWith(path, errnoText(error));
}
#endif

} // namespace

QByteArray TextFile::encodeLines(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += CodePage::encode(line);
        bytes += "\r\n";
    }
    return bytes;
}

void TextFile::writeLines(const QString &path, const QStringList &lines, IfMissing ifMissing)
{
    replace(path, encodeLines(lines), ifMissing);
}

void TextFile::replace(const QString &path, const QByteArray &bytes, IfMissing ifMissing)
{

    // Opening the existing file for appending changes nothing in it, and fails as the replacement
    // would have to: a missing file, a read-only file, a file another process holds.
    QFile existing(path);
    const bool existed = existing.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::ExistingOnly);
    if (!existed && (ifMissing == IfMissing::Fail || existing.exists()))
        failWith(path, existing.errorString());
    existing.close();

    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    // Unbuffered: the content goes out in one write below, and a failing write reports its own cause.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        failWith(path, file.errorString());
#ifdef Q_OS_UNIX
    carryOverOwnership(path, file.handle(), existed);
#endif
    // A disk that fills up mid-way takes part of a write without a word; writing the rest again makes the
    // system name the cause.
    for (qint64 written = 0; written < bytes.size();) {
        const qint64 step = file.write(bytes.constData() + written, bytes.size() - written);
        if (step <= 0)
            failWith(path, file.errorString());
        written += step;
    }
    if (!file.flush())
        failWith(path, file.errorString());
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0)
        failWith(path, errnoText(errno));
#endif
    if (!file.commit())
        failWith(path, file.errorString());
#ifdef Q_OS_UNIX
    syncFolderOf(path);
#endif
}
