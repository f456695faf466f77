#pragma once

#include <QString>

// Asks the desktop to open path with the default action for its kind of file and returns at once,
// without waiting for what it starts. Every failure is silent: a missing file, a missing association
// or a missing opener leave the tool as it was.
void RunFile(const QString &path);
