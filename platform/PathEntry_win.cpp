#include "platform/PathEntry.h"

#include "platform/Failure.h"

#include <QFile>
#include <QFileInfo>

// The replacement writes through a link here, so what counts is what the path leads to.
PathEntry PathEntry::at(const QString &path)
{
    const QFileInfo info(path);
    PathEntry entry;
    if (!info.exists())
        return entry;
    if (info.isDir()) {
        entry.kind = Kind::Folder;
    } else {
        entry.kind = Kind::File;
        entry.size = info.size();
    }
    return entry;
}

QByteArray readRegularFile(const QString &path, qint64 maxSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(causeAt(path, file.errorString()));
    if (file.isSequential())
        throw Failure(causeAt(path, QStringLiteral("This is no regular file; it was not read")));
    if (file.size() > maxSize)
        throw Failure(causeAt(path, tooLargeCause(file.size(), maxSize)));
    const QByteArray bytes = file.read(maxSize);
    if (file.error() != QFileDevice::NoError)
        throw Failure(causeAt(path, file.errorString()));
    return bytes;
}

QString ownLinkTarget(const QString &path)
{
    return path;
}
