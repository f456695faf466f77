#include "preview/Preview.h"

#include "database/DatabaseTargets.h"
#include "database/DbConnection.h"
#include "database/DbRecordset.h"
#include "model/Form.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/ProgramPath.h"
#include "preview/LineDiff.h"
#include "update/FileTarget.h"
#include "update/UpdateRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>

namespace Preview {

namespace {

const QString Indent = QStringLiteral("    ");
const QString Arrow = QStringLiteral(" \u2192 ");

// The fields as the run reads them once it has normalised the Mud3 path, without touching the window.
class FieldsAsRunSeesThem : public FieldSource {
public:
    explicit FieldsAsRunSeesThem(const FieldSource &typed)
        : m_typed(typed)
    {
    }

    QString fieldText(Field field) const override
    {
        const QString text = m_typed.fieldText(field);
        return field == Field::txtMud3Path ? mud3PathAsRunUsesIt(text) : text;
    }

private:
    const FieldSource &m_typed;
};

// A cause, one line per line of its text (driver messages may span several), below what it concerns.
QStringList failureLines(const QString &cause, const QString &indent)
{
    QStringList lines;
    for (const QString &line : cause.split(QLatin1Char('\n')))
        lines.append(indent + (line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line));
    lines.first().insert(indent.size(), QStringLiteral("fails: "));
    return lines;
}

QString shown(const QVariant &value)
{
    return value.isNull() ? QStringLiteral("NULL") : QLatin1Char('"') + value.toString() + QLatin1Char('"');
}

QString rowText(const QSqlRecord &row)
{
    QStringList columns;
    for (int index = 0; index < row.count(); ++index)
        columns.append(row.fieldName(index) + QStringLiteral(" = ") + shown(row.value(index)));
    return QStringLiteral("row: ") + columns.join(QStringLiteral(", "));
}

} // namespace

QString TargetPreview::heading() const
{
    switch (outcome) {
    case Outcome::Changes:
        return caption + QStringLiteral(": changes");
    case Outcome::Unchanged:
        return caption + QStringLiteral(": unchanged");
    case Outcome::Fails:
        return caption + QStringLiteral(": would fail");
    }
    Q_UNREACHABLE();
    return caption;
}

QStringList RunPreview::lines() const
{
    QStringList lines;
    const auto firstFailure = std::find_if(targets.begin(), targets.end(),
                                           [](const TargetPreview &target) { return target.outcome == TargetPreview::Outcome::Fails; });
    if (!connectionFailure.isEmpty()) {
        lines.append(QStringLiteral("The database connection cannot be opened; the run would stop before its first target."));
        lines += failureLines(connectionFailure, Indent);
    } else if (firstFailure != targets.end()) {
        // The run ends at its first failure: what is shown after it is what a later press would do.
        lines.append(QStringLiteral("The run would stop at ") + firstFailure->caption
                     + QStringLiteral("; the targets after it would keep their ticks."));
    }
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
    // The run replaces regular files only; reading anything else (a pipe) could block the window.
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile()) {
        preview.lines = failureLines(causeAt(path, QStringLiteral("not a regular file")), Indent);
        return preview;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        preview.lines = failureLines(causeAt(path, file.errorString()), Indent);
        return preview;
    }
    const QByteArray current = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        preview.lines = failureLines(causeAt(path, file.errorString()), Indent);
        return preview;
    }
    QByteArray next;
    try {
        next = FileTarget::content(target, fields);
    } catch (const Failure &failure) {
        preview.lines = failureLines(failure.cause(), Indent);
        return preview;
    }

    // Named as the causes name it, the system's way.
    const QString shownPath = QDir::toNativeSeparators(path);
    if (current == next) {
        preview.outcome = TargetPreview::Outcome::Unchanged;
        preview.lines.append(Indent + shownPath);
        return preview;
    }
    preview.outcome = TargetPreview::Outcome::Changes;
    preview.lines.append(QStringLiteral("--- ") + shownPath);
    preview.lines.append(QStringLiteral("+++ ") + shownPath + QStringLiteral(" (after the run)"));
    preview.lines += LineDiff::unified(LineDiff::splitKeepingEnds(CodePage::decode(current)),
                                       LineDiff::splitKeepingEnds(CodePage::decode(next)));
    return preview;
}

TargetPreview previewDatabaseTarget(int target, const QString &table, const FieldSource &fields, DbRecordset &recordset)
{
    TargetPreview preview{table, TargetPreview::Outcome::Unchanged, {}};
    for (const RowUpdate &rowUpdate : rowUpdatesOf(target)) {
        const QString condition = QLatin1String(rowUpdate.condition);
        preview.lines.append(Indent + QStringLiteral("Select * From ") + table + condition);
        try {
            recordset.Open(table, condition);
            if (recordset.hasCurrentRow())
                preview.lines.append(Indent + Indent + rowText(recordset.currentRow()));
            for (const RowUpdate::Assignment &assignment : rowUpdate.assignments) {
                const QString column = QLatin1String(assignment.column);
                const QString value = trimmedOfBlanks(fields.fieldText(assignment.field));
                // Only recorded, never written: it fails where the run's assignment would (no row, no column).
                recordset.setCollect(column, value);
                const QVariant old = recordset.currentRow().value(column);
                const bool changes = old.isNull() || old.toString() != value;
                preview.lines.append(Indent + Indent + column + QStringLiteral(": ") + shown(old)
                                     + (changes ? Arrow + shown(value) : QStringLiteral(" (unchanged)")));
                if (changes && preview.outcome == TargetPreview::Outcome::Unchanged)
                    preview.outcome = TargetPreview::Outcome::Changes;
            }
            recordset.Close();
        } catch (const Failure &failure) {
            recordset.Close();
            preview.outcome = TargetPreview::Outcome::Fails;
            preview.lines += failureLines(failure.cause(), Indent + Indent);
        }
    }
    return preview;
}

RunPreview previewRun(const Form &form)
{
    const FieldsAsRunSeesThem fields(form);
    RunPreview preview;

    DbConnection connection;
    DbRecordset recordset; // ends before the connection it is bound to
    try {
        connection.OpenConnection(fields.fieldText(Field::txtSQLIP), QStringLiteral("sa"), fields.fieldText(Field::txtSQLPass),
                                  QStringLiteral("Account"));
    } catch (const Failure &failure) {
        preview.connectionFailure = failure.cause();
    }
    recordset.bind(connection);
    for (int target = 0; target < FirstFileTarget; ++target) {
        if (!form.isTicked(target))
            continue;
        if (preview.connectionFailure.isEmpty())
            preview.targets.push_back(previewDatabaseTarget(target, form.caption(target), fields, recordset));
        else
            preview.targets.push_back({form.caption(target), TargetPreview::Outcome::Fails,
                                       failureLines(QStringLiteral("the database connection cannot be opened"), Indent)});
    }
    recordset.Close();
    connection.CloseConnection();

    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        if (form.isTicked(target))
            preview.targets.push_back(previewFileTarget(target, form.caption(target), fields));
    }
    return preview;
}

} // namespace Preview
