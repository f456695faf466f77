#pragma once

#include "preview/Preview.h"
#include "update/RunRecord.h"
#include "update/UpdateRun.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

class FieldSource;
struct Module1;

// Putting back what a kept run changed. A restore is a careful run of its own: it looks at everything first
// and writes nothing when it cannot complete; files go back through the same replacement as a run, rows
// through bound parameters from the run's record (never the statements of database.txt); whatever changed
// since the run is left alone unless confirmed; and it keeps a backup of what it replaces, so that it can
// be undone in turn.
namespace Restore {

// A run kept beside the settings file, for a list.
struct KeptRun {
    QString folder;
    RunRecord record;
    bool first; // the first run ever kept: the installation as it was before the tool first changed it

    // What it holds, in a line: "2026-12-08 10:11:12, 12 files, Settings.ini, 6 rows, complete".
    QString description() const;
    // How the run ended: "complete", "failed" or "not finished".
    QString ending() const;
    // What else is known of it: whether it is the first run, what it restored, its record's note.
    QStringList remarks() const;
};

// The runs kept beside settingsPath, newest first.
std::vector<KeptRun> keptRuns(const QString &settingsPath);

// The folder of a kept run named by its folder name below the backups beside settingsPath, or by a path.
QString runFolder(const QString &run, const QString &settingsPath);

// One thing a kept run changed, and what putting it back would do.
struct Item {
    enum class Kind { File, Settings, Row };
    enum class State {
        AsWritten,     // holds what the run wrote: it is put back
        AsKept,        // already holds what the run kept: nothing to do
        ChangedSince,  // holds something else: put back only when confirmed
        CannotRestore, // a link stood there, or the row is gone
    };

    Kind kind;
    State state;
    QString name;      // the caption, "Settings.ini", or the table and its row
    QStringList lines; // what putting it back changes, or why it cannot be
    QString path;      // a file's
    QByteArray kept;   // a file's content as kept
    RunRecord::Row row;

    // The same for a view: what lies at a file's path now when it is no file, a file's content as it is and as
    // kept, a row's columns as they are and as kept.
    QString note = {};
    Preview::FileDiff file = {};
    std::vector<Preview::ColumnChange> columns = {};
};

struct Plan {
    QString folder;
    RunRecord record;
    std::vector<Item> items;
    // Why the rows could not be read: the restore would stop at this before changing anything.
    QString databaseFailure;

    // Whether anything holds other content than the run wrote.
    bool hasChangesSince() const;
    // The whole plan as text, as the preview of a run shows one.
    QStringList lines() const;
};

// What restoring the run kept in folder would do, reading the installation and, over a connection of its
// own made from fields, the rows. Throws Failure when folder holds no complete run of the tool's.
Plan plan(const QString &folder, const FieldSource &fields);

struct Result {
    RunOutcome outcome;
    QStringList leftAlone; // the items that changed since, or cannot be put back, and were left as they are
};

// Puts back what the run kept in folder changed: every item that still holds what the run wrote, and those
// changed since whose names confirmed holds (all of them with confirmAll); Settings.ini only with
// withSettings. Plans again first, so that nothing changed meanwhile is overwritten unconfirmed. Its own
// backup goes beside settingsPath.
Result restore(const QString &folder, const QStringList &confirmed, bool confirmAll, bool withSettings, const FieldSource &fields,
               Module1 &module, const QString &settingsPath);

} // namespace Restore
