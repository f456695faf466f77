#include "update/TextFile.h"

#include "update/CodePage.h"
#include "update/Failure.h"

#ifdef Q_OS_WIN
#include "update/FileSystemPath.h"

#include <QFile>
#include <QSaveFile>

namespace {

[[noreturn]] void failWith(const QString &path, const QString &cause)
{
    throw Failure(causeAt(path, cause));
}

} // namespace
#else
#include "update/UnixFileReplacement.h"
#endif

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
#ifdef Q_OS_WIN
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
    if (!file.commit())
        failWith(path, file.errorString());
#else
    UnixFileReplacement::replace(path, bytes, ifMissing == IfMissing::Create);
#endif
}
