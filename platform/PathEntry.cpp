#include "platform/PathEntry.h"

#include <QLocale>

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
    const QLocale locale = QLocale::c();
    return QStringLiteral("The file holds %1 bytes, more than the %2 that any file of the tool can hold; it was not read")
        .arg(locale.toString(size), locale.toString(maxSize));
}
