#pragma once

#include "preview/LineDiff.h"
#include "update/RunCheck.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

class DbConnection;
class FieldSource;
class Form;

// What a press of "Update Selected IP's" would do, found without changing anything: each ticked file
// target's file as it is against the bytes the run would write, and each ticked database target's rows
// as they are against what the table would hold after the run's very updates, made in transactions that
// are always rolled back.
namespace Preview {

// A file's content as it is and as it would be, both read in the server files' code page, line by line
// with their ends, and where they differ. Of a content larger than a MiB only the lines that end in its
// first MiB are held.
struct FileDiff {
    QStringList oldLines;
    QStringList newLines;
    std::vector<LineDiff::Change> changes;
    // Too large to compare line by line: all of it is one change.
    bool replacedWhole = false;
    // All the lines of each content, those held or not.
    qsizetype oldLineCount = 0;
    qsizetype newLineCount = 0;
};

// One column of a row as it is and as it would be.
struct ColumnChange {
    QString column;
    QVariant before;
    QVariant after;

    bool changes() const;
};

// One row that a database target writes: how it is found, and every column of it as the run finds it and
// as the table would hold it after the run's update; or why the run would fail at it.
struct RowDiff {
    QString which; // the row update's condition
    std::vector<ColumnChange> columns;
    QString cause;
};

struct TargetPreview {
    enum class Outcome { Changes, Unchanged, Fails };
    enum class Kind { Table, File };

    QString caption;
    Outcome outcome = Outcome::Unchanged;
    // A file target: the unified diff with its "---"/"+++" header, or the file's path when unchanged.
    // A database target: each row update's query, the row it reads and each column as old → new.
    // Where the run would fail: the cause, in place of what could not be shown.
    QStringList lines;

    // The same for a view.
    Kind kind = Kind::File;
    // Why the run would fail at it: its own cause, or that of the check that stops the run here.
    QString cause = {};
    // What the run does besides what the diff shows: a link that it replaces by a file.
    QString note = {};
    FileDiff file = {};
    std::vector<RowDiff> rows = {};

    // "caption: changes", "caption: unchanged" or "caption: would fail".
    QString heading() const;
    // "changes", "unchanged" or "would fail".
    static QString stateOf(Outcome outcome);
    // Whether the run would fail at it, by its own cause or the check's.
    bool fails() const;
};

struct RunPreview {
    // Why the run would stop before changing anything: a check fails.
    std::optional<CheckFailure> checkFailure;
    // Why the run would stop before its first target: the database connection cannot be opened.
    QString connectionFailure;
    // The ticked targets in run order.
    std::vector<TargetPreview> targets;

    enum class Outcome { NothingChanges, Changes, Fails };
    Outcome outcome() const;

    // Where the run would stop (a failed check, a connection that cannot be opened, or the first target that
    // would fail) and why; empty when it would not.
    QStringList stop() const;
    // The whole preview as text: where the run would stop, then each target's heading and lines, a blank line
    // between them.
    QStringList lines() const;
};

// Reads only: the run's own database objects are not used; the preview's connection is closed before it
// returns. The fields are those the run would see, the Mud3 path ending in a backslash, and its settings
// file is settingsPath.
RunPreview previewRun(const Form &form, const QString &settingsPath);

// A column's value as the preview shows it: NULL, or the text in quotes, its control characters made visible.
QString shownValue(const QVariant &value);

// What replacing a file's content current by next changes; no change when both are the same.
FileDiff fileDiff(const QByteArray &current, const QByteArray &next);

// The same as text, for the file at path: a "---"/"+++" header naming the new side by nextLabel, then the
// unified diff, or, for a file too large to compare line by line, its size and the new lines. Empty when both
// are the same.
QStringList fileChange(const QString &path, const QByteArray &current, const QByteArray &next, const FileDiff &diff,
                       const QString &nextLabel);

// One file target (3 to 14), at the path and with the content the run would use.
TargetPreview previewFileTarget(int target, const QString &caption, const FieldSource &fields);

// One database target (0 to 2) on an open connection. Its row updates are made as the run makes them and read
// back, in a transaction that is then rolled back.
TargetPreview previewDatabaseTarget(int target, const QString &table, const FieldSource &fields, DbConnection &connection);

} // namespace Preview
