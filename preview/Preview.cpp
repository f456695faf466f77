#include "preview/Preview.h"

#include "database/DatabaseTargets.h"
#include "database/DbConnection.h"
#include "database/DbRecordset.h"
#include "database/OdbcStatement.h"
#include "database/Transaction.h"
#include "model/FormValues.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/InstallationLock.h"
#include "platform/PathEntry.h"
#include "preview/LineDiff.h"
#include "preview/VisibleText.h"
#include "update/BackupFolder.h"
#include "update/FileTarget.h"
#include "update/RunScope.h"
#include "update/UpdateRun.h"

#include <QDir>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>

namespace Preview {

namespace {

const QString Indent = QStringLiteral("    ");
const QString Arrow = QStringLiteral(" \u2192 ");
const QString NoConnection = QStringLiteral("the database connection cannot be opened");
const QString OtherRowsMatch = QStringLiteral("(other rows match too; the run changes only this one)");

// Beyond these a file is shown as replaced whole rather than line by line: the line diff needs a table of
// one cell per pair of old and new lines, and a huge file would take seconds and hundreds of megabytes.
constexpr qint64 MaxDiffedFileSize = qint64(1) << 20;
constexpr qint64 MaxDiffCells = 4'000'000;

// The lines of a file's content that a view shows at once: all of them up to a MiB, else those that end in
// the first MiB, so that a file of any size opens at once in little memory.
QStringList shownLines(const QByteArray &content)
{
    const qsizetype end = content.size() <= MaxDiffedFileSize ? content.size() : content.lastIndexOf('\n', MaxDiffedFileSize - 1) + 1;
    return LineDiff::splitKeepingEnds(CodePage::decodeServerText(content.left(end > 0 ? end : MaxDiffedFileSize)));
}

qsizetype lineCount(const QByteArray &content)
{
    return content.count('\n') + (content.isEmpty() || content.endsWith('\n') ? 0 : 1);
}

// A cause, one line per line of its text (driver messages may span several), below what it concerns.
QStringList failureLines(const QString &cause, const QString &indent)
{
    QStringList lines;
    for (const QString &line : visibleLines(cause).split(QLatin1Char('\n')))
        lines.append(indent + line);
    lines.first().insert(indent.size(), QStringLiteral("fails: "));
    return lines;
}

QString rowText(const QSqlRecord &row)
{
    QStringList columns;
    for (int index = 0; index < row.count(); ++index)
        columns.append(visibleText(row.fieldName(index)) + QStringLiteral(" = ") + shownValue(row.value(index)));
    return QStringLiteral("row: ") + columns.join(QStringLiteral(", "));
}

// The fields, ticks and captions as the run would see them once it has normalised the Mud3 path; the
// window's own stay as they are.
FormValues asRunSeesIt(const Form &form)
{
    FormValues values = FormValues::copyOf(form);
    values.setFieldText(Field::txtMud3Path, mud3PathAsRunUsesIt(form.fieldText(Field::txtMud3Path)));
    return values;
}

std::optional<CheckFailure> checkAsTheRun(const Form &form, const QString &settingsPath)
{
    try {
        // Held for a moment only: a run of another window would wait for the whole preview otherwise.
        const InstallationLock lock(RunScope::of(form, settingsPath).installation);
    } catch (const Failure &failure) {
        return CheckFailure{-1, {}, failure.cause()};
    }
    BackupFolder backup(settingsPath, form);
    return checkRun(form, settingsPath, backup);
}

// A file too large to compare line by line: its size and line count, then what replaces it.
QStringList replacedWhole(const QByteArray &current, const QByteArray &next)
{
    QStringList lines{QStringLiteral("@@ all %1 lines (%2 bytes) of the file are replaced by the %3 lines below @@")
                          .arg(current.count('\n') + (current.endsWith('\n') ? 0 : 1))
                          .arg(current.size())
                          .arg(next.count('\n'))};
    for (const QString &line : LineDiff::splitKeepingEnds(CodePage::decodeServerText(next)))
        lines.append(QLatin1Char('+') + visibleText(line.endsWith(QLatin1String("\r\n")) ? line.chopped(2) : line));
    return lines;
}

} // namespace

QString shownValue(const QVariant &value)
{
    return value.isNull() ? QStringLiteral("NULL") : QLatin1Char('"') + visibleText(value.toString()) + QLatin1Char('"');
}

bool ColumnChange::changes() const
{
    return !RunRecord::sameValue(before, after);
}

QString TargetPreview::heading() const
{
    return caption + QStringLiteral(": ") + stateOf(outcome);
}

QString TargetPreview::stateOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Changes:
        return QStringLiteral("changes");
    case Outcome::Unchanged:
        return QStringLiteral("unchanged");
    case Outcome::Fails:
        return QStringLiteral("would fail");
    }
    Q_UNREACHABLE();
    return {};
}

bool TargetPreview::fails() const
{
    return outcome == Outcome::Fails || !cause.isEmpty();
}

RunPreview::Outcome RunPreview::outcome() const
{
    const auto any = [this](TargetPreview::Outcome outcome) {
        return std::any_of(targets.begin(), targets.end(), [outcome](const TargetPreview &target) { return target.outcome == outcome; });
    };
    if (checkFailure || !connectionFailure.isEmpty() || any(TargetPreview::Outcome::Fails))
        return Outcome::Fails;
    return any(TargetPreview::Outcome::Changes) ? Outcome::Changes : Outcome::NothingChanges;
}

QStringList RunPreview::stop() const
{
    QStringList lines;
    const auto firstFailure = std::find_if(targets.begin(), targets.end(),
                                           [](const TargetPreview &target) { return target.outcome == TargetPreview::Outcome::Fails; });
    if (checkFailure) {
        const QString at = checkFailure->target < 0 ? QString() : QStringLiteral(", at ") + targetCaption(checkFailure->target);
        lines.append(QStringLiteral("The run would stop before changing anything") + at + QStringLiteral("; every target would keep its tick."));
        lines += failureLines(checkFailure->cause, Indent);
    } else if (!connectionFailure.isEmpty()) {
        lines.append(QStringLiteral("The database connection cannot be opened; the run would stop before its first target."));
        lines += failureLines(connectionFailure, Indent);
    } else if (firstFailure != targets.end()) {
        // The run ends at its first failure: what is shown after it is what a later press would do.
        lines.append(QStringLiteral("The run would stop at ") + firstFailure->caption
                     + QStringLiteral("; the targets after it would keep their ticks."));
    }
    return lines;
}

QStringList RunPreview::lines() const
{
    QStringList lines = stop();
    for (const TargetPreview &target : targets) {
        if (!lines.isEmpty())
            lines.append(QString());
        lines.append(target.heading());
        lines += target.lines;
    }
    return lines;
}

TargetPreview previewFileTarget(int target, const QString &caption, const FieldSource &fields)
{
    TargetPreview preview{caption, TargetPreview::Outcome::Fails, {}};
    const QString path = FileTarget::path(fields, caption);
    QByteArray current;
    QByteArray next;
    try {
        next = FileTarget::check(target, caption, fields);
        // Looked at before it is opened: the run replaces a link without reading what it points to.
        const PathEntry entry = PathEntry::at(path);
        if (entry.kind == PathEntry::Kind::Link) {
            preview.note = causeAt(path, QStringLiteral("%1, which the run replaces by a file").arg(entry.description()));
            preview.lines.append(Indent + preview.note);
        } else {
            current = readRegularFile(path, MaxFileSize);
        }
    } catch (const Failure &failure) {
        preview.cause = failure.cause();
        preview.lines = failureLines(preview.cause, Indent);
        return preview;
    }

    // Named as the causes name it, the system's way.
    const QString shownPath = QDir::toNativeSeparators(path);
    preview.file = fileDiff(current, next);
    if (current == next && preview.note.isEmpty()) {
        preview.outcome = TargetPreview::Outcome::Unchanged;
        preview.lines.append(Indent + shownPath);
        return preview;
    }
    preview.outcome = TargetPreview::Outcome::Changes;
    preview.lines += fileChange(shownPath, current, next, preview.file, QStringLiteral("after the run"));
    return preview;
}

FileDiff fileDiff(const QByteArray &current, const QByteArray &next)
{
    FileDiff diff{shownLines(current), {}, {}, false, lineCount(current), lineCount(next)};
    if (current == next) {
        diff.newLines = diff.oldLines;
        return diff;
    }
    diff.newLines = shownLines(next);
    const qint64 cells = (current.count('\n') + 1) * (next.count('\n') + 1);
    diff.replacedWhole = current.size() > MaxDiffedFileSize || cells > MaxDiffCells;
    if (diff.replacedWhole)
        diff.changes = {{0, diff.oldLines.size(), 0, diff.newLines.size()}};
    else
        diff.changes = LineDiff::changes(diff.oldLines, diff.newLines);
    return diff;
}

QStringList fileChange(const QString &path, const QByteArray &current, const QByteArray &next, const FileDiff &diff,
                       const QString &nextLabel)
{
    if (current == next)
        return {};
    QStringList lines{QStringLiteral("--- ") + path, QStringLiteral("+++ ") + path + QStringLiteral(" (") + nextLabel + QLatin1Char(')')};
    if (diff.replacedWhole)
        return lines + replacedWhole(current, next);
    return lines + LineDiff::unified(diff.oldLines, diff.newLines, diff.changes);
}

TargetPreview previewDatabaseTarget(int target, const QString &table, const FieldSource &fields, DbConnection &connection)
{
    TargetPreview preview{table, TargetPreview::Outcome::Unchanged, {}, TargetPreview::Kind::Table};
    DbRecordset recordset;
    recordset.bind(connection);
    const auto fail = [&preview](const QString &cause, RowDiff *row) {
        preview.outcome = TargetPreview::Outcome::Fails;
        if (row != nullptr)
            row->cause = cause;
        if (preview.cause.isEmpty())
            preview.cause = cause;
        preview.lines += failureLines(cause, Indent + Indent);
    };
    try {
        // The run's very updates, in a transaction of the target's own that is always rolled back: each row as
        // the table would hold it, after the row updates before it.
        Transaction rehearsal(connection);
        for (const RowUpdate &rowUpdate : rowUpdatesOf(target)) {
            const QString condition = QLatin1String(rowUpdate.condition);
            preview.lines.append(Indent + QStringLiteral("Select * From ") + table + condition);
            RowDiff &row = preview.rows.emplace_back(RowDiff{condition.trimmed(), {}, {}});
            try {
                recordset.Open(table, condition);
                const QSqlRecord before = recordset.currentRow();
                if (recordset.hasCurrentRow())
                    preview.lines.append(Indent + Indent + rowText(before));
                if (recordset.otherRowsMatch()) {
                    row.which += QLatin1Char(' ') + OtherRowsMatch;
                    preview.lines.append(Indent + Indent + OtherRowsMatch);
                }
                for (const RowUpdate::Assignment &assignment : rowUpdate.assignments)
                    recordset.setCollect(QLatin1String(assignment.column), trimmedOfBlanks(fields.fieldText(assignment.field)));
                const QSqlRecord after = recordset.Update();
                for (int index = 0; index < before.count(); ++index)
                    row.columns.push_back({before.fieldName(index), before.value(index), after.value(before.fieldName(index))});
                for (const RowUpdate::Assignment &assignment : rowUpdate.assignments) {
                    const QString column = QLatin1String(assignment.column);
                    const bool changes = !RunRecord::sameValue(before.value(column), after.value(column));
                    preview.lines.append(Indent + Indent + column + QStringLiteral(": ") + shownValue(before.value(column))
                                         + (changes ? Arrow + shownValue(after.value(column)) : QStringLiteral(" (unchanged)")));
                    if (changes && preview.outcome == TargetPreview::Outcome::Unchanged)
                        preview.outcome = TargetPreview::Outcome::Changes;
                }
                recordset.Close();
            } catch (const Failure &failure) {
                recordset.Close();
                fail(failure.cause(), &row);
                // A busy table would keep each of its later row updates waiting as long again.
                if (const auto *statement = dynamic_cast<const StatementFailure *>(&failure); statement != nullptr && statement->busy())
                    break;
            }
        }
    } catch (const Failure &failure) {
        fail(failure.cause(), nullptr);
    }
    return preview;
}

RunPreview previewRun(const Form &typed, const QString &settingsPath)
{
    const FormValues form = asRunSeesIt(typed);
    RunPreview preview;
    preview.checkFailure = checkAsTheRun(form, settingsPath);

    DbConnection connection;
    try {
        connection.OpenAccountDatabase(form);
    } catch (const Failure &failure) {
        preview.connectionFailure = failure.cause();
    }
    for (int target = 0; target < FirstFileTarget; ++target) {
        if (!form.isTicked(target))
            continue;
        if (preview.connectionFailure.isEmpty())
            preview.targets.push_back(previewDatabaseTarget(target, form.caption(target), form, connection));
        else
            preview.targets.push_back({form.caption(target), TargetPreview::Outcome::Fails, failureLines(NoConnection, Indent),
                                       TargetPreview::Kind::Table, NoConnection});
    }
    connection.CloseConnection();

    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        if (form.isTicked(target))
            preview.targets.push_back(previewFileTarget(target, form.caption(target), form));
    }
    // The target that a failed check stops the run at fails by that cause, whatever its own preview shows.
    if (preview.checkFailure && preview.checkFailure->target >= 0) {
        for (TargetPreview &target : preview.targets) {
            if (target.caption == form.caption(preview.checkFailure->target) && target.cause.isEmpty())
                target.cause = preview.checkFailure->cause;
        }
    }
    return preview;
}

} // namespace Preview
