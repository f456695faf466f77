#pragma once

#include <QByteArray>
#include <QString>

class FieldSource;

// A file target as the run writes it and as a preview shows it: where its file lies and the bytes that
// replace it. Both are computed from the current field values only.
namespace FileTarget {

// The file of target i (3 to 14): the Mud3 path as the run uses it followed directly by the caption, as the
// file system spells it; a relative Mud3 path starts from the program's folder.
QString path(const FieldSource &fields, const QString &caption);

// Removes the temporary files that a killed run or restore left beside the files of the twelve file targets.
// Only under the installation lock. Throws Failure naming one that cannot be removed.
void removeLeftovers(const FieldSource &fields);

// The complete new content of target i: its template's lines, each ended by CR LF. The template's own
// text is written in code page 936, the server files' own, whatever the system's code page; what the user
// typed in the system's code page (on Windows its ANSI code page, elsewhere 936 too). Throws Failure when
// a typed character cannot be written, or is a control character.
QByteArray content(int target, const FieldSource &fields);

// Everything about target i that can be known before writing: its content, and whether what lies at its
// path can be replaced (a missing file, a folder, a pipe, a file too large to be a server file, a
// read-only file fail). Throws the Failure that the run would meet, and returns the content.
QByteArray check(int target, const QString &caption, const FieldSource &fields);

} // namespace FileTarget
