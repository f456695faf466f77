#pragma once

#include <QString>

class Form;
struct Module1;

// What a press of "Update Selected IP's" ended with. A failed run carries the message box's text
// ("Error Reading Data" followed by the error context) and the cause as the system or driver gave it.
struct RunOutcome {
    bool succeeded = true;
    QString message;
    QString cause;
};

// Whether a run keeps what it replaces (see Backup). The tool always does; a run without backups exists
// only to measure what they cost.
enum class Backups { Kept, Skipped };

// The update run: normalise the Mud3 path, open and close the database connection, rewrite every ticked
// target in index order clearing its tick when done, then save the settings. Stops at the first failure,
// closing the connection; the window shows the outcome. Before anything is replaced, its old content goes
// to a backup beside the settings file; a successful run removes all but the newest backups.
RunOutcome runUpdate(Form &form, Module1 &module, const QString &settingsPath, Backups backups = Backups::Kept);

// The Mud3 path as the run uses and stores it: the typed text, with a backslash added when it does not
// end in one.
QString mud3PathAsRunUsesIt(const QString &typed);
