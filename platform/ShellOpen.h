#pragma once

#include <QString>
#include <QtGlobal>

// Asks the desktop to open path with the default action for its kind of file and returns at once,
// without waiting for what it starts. Every failure is silent to the tool: a missing file, a missing
// association or a missing opener leave it as it was. ownerWindow is the native handle of the tool's
// window (QWidget::winId()); on Windows any box the shell shows belongs to it. A relative path starts
// from the program's folder, as the update run's does.
void RunFile(const QString &path, quintptr ownerWindow);
