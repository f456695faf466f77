#pragma once

#include <QString>

class Backup;
class Form;
struct Module1;

// What a press of "Update Selected IP's" ended with. A failed run carries the message box's text
// ("Error Reading Data" followed by the error context) and the cause as the system or driver gave it.
struct RunOutcome {
    bool succeeded = true;
    QString message;
    QString cause;
};

// The update run: normalise the Mud3 path, check everything that can be known before writing (see
// checkRun), open and close the database connection, rewrite every ticked target in index order clearing
// its tick when done, then save the settings. Stops at the first failure, closing the connection; the
// window shows the outcome. A failed check changes nothing. The database targets are written in one
// transaction before any file: all of their rows change, and their ticks clear, or none. Before anything is
// replaced, its old content goes to the backup (the tool's is a BackupFolder beside the settings file).
RunOutcome runUpdate(Form &form, Module1 &module, const QString &settingsPath, Backup &backup);

// The Mud3 path as the run uses and stores it: the typed text, with a backslash added when it does not
// end in one.
QString mud3PathAsRunUsesIt(const QString &typed);
