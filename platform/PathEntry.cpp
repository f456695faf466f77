#include "platform/PathEntry.h"


QString PathEntry::description() const
{
    switch (kind) {
    case Kind::Missing:
        return QStringLiteral("nothing");
    case Kind::File:
        return QStringLiteral("a file");
    case Kind::Link:
        return QStringLiteral("a symbolic link to \"%1\"").arg(linkTarget);
    case Kind::Folder:
        return QStringLiteral("a folder");
    case Kind::Other:
        return otherKind;
    }
    return {};
}

QString tooLargeCause(qint64 size, qint64 maxSize)
{
    return QStringLiteral("The file holds %1 bytes, more than the %2 that any file of the tool can hold; it was not read").arg(size).arg(maxSize);
}
