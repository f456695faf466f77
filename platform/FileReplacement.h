#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace TextFile {

enum class IfMissing {
    Fail,   // a file target: a missing file means a wrong Mud3 path, so nothing is created
    Create, // the settings file
};

// The lines, each ended by CR LF, in the tool's code page. Throws Failure naming a character that the
// code page cannot hold.
QByteArray encodeLines(const QStringList &lines);

// Replaces the file at path by bytes. The new content is written completely and flushed to a temporary
// file beside the old one, which then takes the old file's place; on any failure the old file stays as it
// was. A program that holds the old file open for a moment without letting it be replaced, as virus
// scanners do on Windows, is waited for up to two seconds. The replacement keeps who may read and change the file (see UnixFileReplacement); a created file
// is private to its owner. Throws Failure with the path in quotes and the cause.
void replace(const QString &path, const QByteArray &bytes, IfMissing ifMissing);

// replace() with encodeLines(lines).
void writeLines(const QString &path, const QStringList &lines, IfMissing ifMissing);

} // namespace TextFile
