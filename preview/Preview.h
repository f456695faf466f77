#pragma once

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

struct TargetPreview {
    enum class Outcome { Changes, Unchanged, Fails };

    QString caption;
    Outcome outcome = Outcome::Unchanged;
    // A file target: the unified diff with its "---"/"+++" header, or the file's path when unchanged.
    // A database target: each row update's query, the row it reads and each column as old → new.
    // Where the run would fail: the cause, in place of what could not be shown.
    QStringList lines;

    // "caption: changes", "caption: unchanged" or "caption: would fail".
    QString heading() const;
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

    // The whole preview as text: where the run would stop (a failed check, a connection that cannot be
    // opened, or the first target that would fail), then each target's heading and lines, a blank line between
    // them.
    QStringList lines() const;
};

// Reads only: the run's own database objects are not used; the preview's connection is closed before it
// returns. The fields are those the run would see, the Mud3 path ending in a backslash, and its settings
// file is settingsPath.
RunPreview previewRun(const Form &form, const QString &settingsPath);

// A column's value as the preview shows it: NULL, or the text in quotes, its control characters made visible.
QString shownValue(const QVariant &value);

// What replacing the file at path, holding current, by next changes: a "---"/"+++" header naming the new side
// by nextLabel, then a unified diff of both read in the server files' code page, or, for a file too large to
// compare line by line, its size and the new lines. Empty when both are the same.
QStringList fileChange(const QString &path, const QByteArray &current, const QByteArray &next, const QString &nextLabel);

// One file target (3 to 14), at the path and with the content the run would use.
TargetPreview previewFileTarget(int target, const QString &caption, const FieldSource &fields);

// One database target (0 to 2) on an open connection. Its row updates are made as the run makes them and read
// back, in a transaction that is then rolled back.
TargetPreview previewDatabaseTarget(int target, const QString &table, const FieldSource &fields, DbConnection &connection);

} // namespace Preview
