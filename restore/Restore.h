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

// A run kept beside the settings file, or the originals kept there, for a list.
struct KeptRun {
    QString folder;
    RunRecord record;

    // What it holds, in a line: "2026-12-08 10:11:12, 12 files, Settings.ini, 6 rows, complete"; for originals
    // what they are the originals of ("the installation before the tool first changed it: …"). Texts of the
    // record are shown with their control characters made visible.
    QString description() const;
    // Whether it holds originals, what the tool first changed, rather than a run.
    bool isOriginal() const;
    // How the run ended: "complete", "failed" or "not finished"; originals are "kept apart".
    QString ending() const;
    // What else is known of it: what it holds the originals of, what it restored, its record's note.
    QStringList remarks() const;
};

// The runs kept beside settingsPath, newest first, then the originals. Throws Failure naming Backups, a run
// or a record that belongs to someone else or that others may write.
std::vector<KeptRun> keptRuns(const QString &settingsPath);

// The folder of a kept run: run is a name that keptRuns lists (a run's or originals' folder name), or, when
// it holds a separator, the path of a run folder. Never a folder of that name elsewhere, such as the current
// one. Throws Failure when no kept run has that name, or as keptRuns does.
QString runFolder(const QString &run, const QString &settingsPath);

// One thing a kept run changed, and what putting it back would do.
struct Item {
    enum class Kind { File, Settings, Row };
    enum class State {
        AsWritten,     // holds what the run wrote: it is put back
        AsKept,        // already holds what the run kept: nothing to do
        ChangedSince,  // holds something else: put back only when confirmed
        OtherDatabase, // a row kept from another server or database than the settings name: only when confirmed
        CannotRestore, // a link or nothing stood there, the row is gone, or another settings file was kept
    };

    Kind kind;
    State state;
    QString name;      // the caption, the settings file's name ("Settings.ini"), or the table and its row
    QStringList lines; // what putting it back changes, or why it cannot be
    QString path;      // a file's, where it is put back
    QByteArray kept;   // a file's content as kept
    RunRecord::Row row;
    QList<QVariant> seen = {}; // a row's columns as the plan read them, in the order of row.columns

    // The same for a view: what lies at a file's path now when it is no file, a file's content as it is and as
    // kept, a row's columns as they are and as kept.
    QString note = {};
    Preview::FileDiff file = {};
    std::vector<Preview::ColumnChange> columns = {};

    // Whether it is put back only when confirmed.
    bool needsConfirmation() const { return state == State::ChangedSince || state == State::OtherDatabase; }
};

struct Plan {
    QString folder;
    RunRecord record;
    std::vector<Item> items;
    // Why the rows could not be read: the restore would stop at this before changing anything.
    QString databaseFailure;

    // Whether anything needs confirmation to be put back.
    bool hasChangesSince() const;
    // The whole plan as text, as the preview of a run shows one.
    QStringList lines() const;
};

// What restoring the run kept in folder would do, reading the installation and, over a connection of its
// own made from fields, the rows. Throws Failure when folder holds no run of the tool's (one that did not
// finish is one), when it or its record is not private to the user running the tool (see PrivateFolder), or
// when the record names anything that no run of the tool writes for the installation and settings file in
// use: a table, a column, a file or a path that is not the one the run would write, a control character in a
// path. A run's record is taken as far as it goes: what it names, it kept before changing.
Plan plan(const QString &folder, const FieldSource &fields, const QString &settingsPath);

struct Result {
    RunOutcome outcome;
    QStringList leftAlone; // the items that changed since, or cannot be put back, and were left as they are
};

// Puts back what the run kept in folder changed: every item that still holds what the run wrote, and those
// needing confirmation whose names confirmed holds (all of them with confirmAll); Settings.ini only with
// withSettings. Holds the installation lock throughout, plans again first, so that nothing changed meanwhile
// is overwritten unconfirmed, and checks every file it will write before it writes anything. Its own backup
// goes beside settingsPath.
Result restore(const QString &folder, const QStringList &confirmed, bool confirmAll, bool withSettings, const FieldSource &fields,
               Module1 &module, const QString &settingsPath);

} // namespace Restore
