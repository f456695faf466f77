#pragma once

#include <QByteArray>
#include <QString>

// Far above any file of an installation or of the tool: a larger one is read by no step of a run.
constexpr qint64 MaxFileSize = qint64(64) << 20;

// What lies at a path, looked at without opening it, as the file replacement meets it: on Linux the entry
// itself, a symbolic link not followed; on Windows what the path leads to, since the replacement there
// writes through a link. Reading anything but a regular file could wait for ever (a pipe) or never end
// (a device), so a file is only opened once this says what it is.
struct PathEntry {
    enum class Kind { Missing, File, Link, Folder, Other };

    Kind kind = Kind::Missing;
    qint64 size = 0;     // a file's
    QString linkTarget;  // a link's, as it stands in the link
    QString otherKind;   // what the other thing is: "a named pipe", "a device", "a socket"

    // Throws Failure naming the path when it cannot be looked at (a folder on the way that may not be entered).
    static PathEntry at(const QString &path);

    // "a folder", "a symbolic link to …", "a named pipe", …; for a cause.
    QString description() const;
};

// The bytes of the regular file at path, read without following a link and without waiting for a pipe's
// other end, when it holds at most maxSize bytes. Throws Failure naming the path when anything else lies
// there, when the file is larger, or when it cannot be read.
QByteArray readRegularFile(const QString &path, qint64 maxSize);

// Where writing path writes, when path is a symbolic link: its target, but only when the link and the file
// it points to both belong to the user running the tool (the rule Linux applies to links in shared folders),
// so that nobody can lead the tool's writes into a file of someone else's. Throws Failure naming the path
// otherwise. Anything but a link gives path itself.
QString ownLinkTarget(const QString &path);

// A cause saying that a file is larger than anything the tool reads or keeps.
QString tooLargeCause(qint64 size, qint64 maxSize);
