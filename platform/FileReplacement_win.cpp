#include "platform/FileReplacement.h"

#include "platform/Failure.h"

#include <QFile>
#include <QSaveFile>
#include <QThread>

namespace {

// Another program, such as a virus scanner, an indexer or a backup agent, may hold the old file open for
// a moment without letting it be replaced; the replacement is tried again for up to two seconds.
constexpr int ReplacementAttempts = 20;
constexpr unsigned long MillisecondsBetweenAttempts = 100;

[[noreturn]] void failWith(const QString &path, const QString &cause)
{
    throw Failure(causeAt(path, cause));
}

// Writes the bytes to a temporary file beside path and puts it in the old file's place. Returns false
// when only that last step failed, with its cause in renameCause; the temporary file is gone then.
bool tryReplace(const QString &path, const QByteArray &bytes, QString &renameCause)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    // Unbuffered: the content goes out in one write below, and a failing write reports its own cause.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        failWith(path, file.errorString());
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
    if (file.commit())
        return true;
    if (file.error() != QFileDevice::RenameError)
        failWith(path, file.errorString());
    renameCause = file.errorString();
    return false;
}

} // namespace

void FileReplacement::removeLeftovers(const QString &)
{
}

void FileReplacement::check(const QString &path, IfMissing ifMissing)
{
    // Opening the existing file for appending changes nothing in it, and fails as the replacement
    // would have to: a missing file, a read-only file, a file another process holds.
    QFile existing(path);
    const bool existed = existing.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::ExistingOnly);
    if (!existed && (ifMissing == IfMissing::Fail || existing.exists()))
        failWith(path, existing.errorString());
}

void FileReplacement::replace(const QString &path, const QByteArray &bytes, IfMissing ifMissing)
{
    check(path, ifMissing);

    QString cause;
    for (int attempt = 1; !tryReplace(path, bytes, cause); ++attempt) {
        if (attempt == ReplacementAttempts)
            failWith(path, cause);
        QThread::msleep(MillisecondsBetweenAttempts);
    }
}
