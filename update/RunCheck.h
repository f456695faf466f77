#pragma once

#include <QString>
#include <optional>

class Backup;
class Form;

// The text the run's failure message shows after "Error Reading Data" when target i fails.
QString errorContextOf(int target, const QString &caption);

// Where a run would stop before changing anything, and why.
struct CheckFailure {
    int target = -1;      // the target that would fail; -1 before the first one
    QString errorContext; // that target's; empty before the first one
    QString cause;
};

// Everything about a run that can be known before it writes: the values it would send and write (no
// control character, each in its file's code page), what lies at each ticked file target's path, that the
// backup can be kept and that the settings can be saved. A run that would fail at any of these fails
// before its first write instead of leaving the installation half-configured. form holds the fields as the
// run sees them, the Mud3 path normalised. Writes nothing.
std::optional<CheckFailure> checkRun(const Form &form, const QString &settingsPath, Backup &backup);
