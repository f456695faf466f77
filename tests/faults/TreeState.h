#pragma once

#include "model/Fields.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class FieldSource;

// What a fault leaves in an installation tree, and what a run would have written there.

// The bytes a completed file target holds: its lines, each ended by CR LF, in the tool's code page.
QByteArray completeContent(const FieldSource &fields, int target);

// The first file target whose lines carry the text of field, or -1 when no file target uses it.
int firstTargetUsing(Field field);

// The failure message of a run that stopped at target (3 to 14).
QString failureMessageAt(int target);

// Every file below folder, as paths relative to it with "/" between names, sorted. The run's backups beside
// the settings file (folder Backups) are left out: what they hold is checked where it matters.
QStringList filesBelow(const QString &folder);

// What a tree holds when no file is left over: the twelve target files and, if saved, Settings.ini.
QStringList targetFiles(bool withSettings);

// Writes bytes to path, replacing what was there; fails the test when it cannot.
void writeBytes(const QString &path, const QByteArray &bytes);
