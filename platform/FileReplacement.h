#pragma once

#include <QByteArray>
#include <QString>

namespace FileReplacement {

enum class IfMissing {
    Fail,   // a file target: a missing file means a wrong Mud3 path, so nothing is created
    Create, // the settings file and the backups
};

// Replaces the file at path by bytes. The new content is written completely and flushed to a temporary
// file beside the old one, which then takes the old file's place by one rename, so that path always holds
// the old or the complete new content; on any failure the old file stays as it was.
//
// On Linux a symbolic link at path is itself replaced, and what it points to is never opened; a folder, a
// pipe or a device fails at once. The new file keeps the old one's owner (for root), group, permission
// bits, ACL and extended attributes, and is at no moment open to more users than the old one was; where
// the group cannot be kept nothing is replaced. On Windows a program that holds the old file open for a
// moment without letting it be replaced, as virus scanners do, is waited for up to two seconds.
//
// A created file, or one that replaces a link, is private to its owner. Throws Failure with the path in
// quotes and the cause.
void replace(const QString &path, const QByteArray &bytes, IfMissing ifMissing);

// Removes what replacements of path left behind when their process was killed before the rename: the
// temporary files beside path that bear the tool's mark ("Setup.ini.Mud3IPSetup-" and six characters), not
// followed when they are links. Only for a path that no replacement is writing meanwhile: the installation
// lock keeps other runs off. Nothing to do when the folder is missing. Throws Failure naming a leftover that
// cannot be removed. On Windows the replacement's temporary file, QSaveFile's, bears no mark of the tool's
// that would tell it from a file of the user's, so nothing is removed there.
void removeLeftovers(const QString &path);

// Whether replace() could replace the file at path, found out without writing anything: what lies there,
// whether the old file may be written and its group kept, whether its folder takes the new file. Throws
// the Failure that replace() would.
void check(const QString &path, IfMissing ifMissing);

} // namespace FileReplacement
