#pragma once

#include <QByteArray>
#include <QString>

namespace UnixFileReplacement {

// Replaces the entry at path by a regular file holding bytes: written and flushed to a temporary file
// beside it, which then takes its place by one rename, so that path always holds the old or the complete
// new content. A symbolic link at path is itself replaced; what it points to is never opened. A folder,
// a pipe or a device fails at once. The new file keeps the old one's owner (for root), group, permission
// bits, ACL and extended attributes, and is at no moment open to more users than the old one was; where
// the group cannot be kept nothing is replaced. A created file, or one that replaces a link, is private to
// its owner. Throws Failure naming the path and the cause.
void replace(const QString &path, const QByteArray &bytes, bool createWhenMissing);

} // namespace UnixFileReplacement
