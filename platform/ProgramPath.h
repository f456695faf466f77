#pragma once

#include <QString>

// Fields and captions spell paths the Windows way. Where the file system separates with "/", every
// backslash becomes one as the path reaches it.
QString fileSystemPath(const QString &typedPath);

// The folder of the running executable, where Settings.ini and the backups lie.
QString programFolder();

// Why no file can be made in the folder, as the system says it; empty when one can. Found out by making one,
// since on Windows the folder's ACL decides, which no permission bits show.
QString writeFailureIn(const QString &folder);

// A path typed into a field, as the file system is asked for it. A relative path is taken from the folder of
// the program, whatever folder the program was started from, so that the update run and the launcher buttons
// find the same files.
QString programRelativePath(const QString &typedPath);
