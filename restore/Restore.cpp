#include "restore/Restore.h"

#include "database/DatabaseTargets.h"
#include "database/DbConnection.h"
#include "database/DbRecordset.h"
#include "database/Module1.h"
#include "database/OdbcStatement.h"
#include "database/Transaction.h"
#include "model/Form.h"
#include "model/Settings.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"
#include "platform/InstallationLock.h"
#include "platform/PathEntry.h"
#include "platform/PrivateFolder.h"
#include "platform/ProgramPath.h"
#include "preview/Preview.h"
#include "preview/VisibleText.h"
#include "update/BackupFolder.h"
#include "update/FileTarget.h"
#include "update/RunScope.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlRecord>
#include <algorithm>
#include <optional>

namespace Restore {

namespace {

const QString Indent = QStringLiteral("    ");
const QString SettingsCaption = QStringLiteral("Settings.ini");

// What the rows of a record say that no run of the tool wrote, found out only with the rows at hand.
struct RowRefused {
    QString why;
};

[[noreturn]] void failNotARun(const QString &folder, const QString &why)
{
    throw Failure(causeAt(QDir::toNativeSeparators(folder),
                          QStringLiteral("This is no complete run kept by the tool: %1; nothing was restored").arg(why)));
}

[[noreturn]] void failNamed(const QString &folder, const QString &what, const QString &name)
{
    failNotARun(folder, QStringLiteral("its record names %1 \"%2\", which no run of the tool writes here").arg(what, visibleText(name)));
}

// A control character, a line break or a character that reorders text, which a path or a name of the tool's never holds.
bool hasControlCharacter(const QString &text)
{
    return visibleText(text) != text;
}

// Only what a run of the tool writes, for the installation and the settings file in use, whatever a record
// says: its files where the run writes them, their copies where the run keeps them, its tables and the
// columns that the row updates set.
void requireWhatARunWrites(const QString &folder, const RunRecord &record, const FieldSource &fields, const QString &settingsPath)
{
    for (const RunRecord::File &file : record.files) {
        for (const QString &text : {file.caption, file.path, file.keptAs, file.linkTarget}) {
            if (hasControlCharacter(text))
                failNamed(folder, QStringLiteral("a path holding a control character"), text);
        }
        const QString copy = QString(file.caption).replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!file.keptAs.isEmpty() && file.keptAs != copy)
            failNamed(folder, QStringLiteral("the copy"), file.keptAs);
        if (file.caption == SettingsCaption) {
            if (RunScope::identity(QFileInfo(file.path).absolutePath()) != RunScope::identity(QFileInfo(settingsPath).absolutePath()))
                failNamed(folder, QStringLiteral("the settings file"), file.path);
            continue;
        }
        bool known = false;
        for (int target = FirstFileTarget; target < TargetCount; ++target)
            known = known || file.caption == targetCaption(target);
        if (!known || RunScope::identity(file.path) != RunScope::identity(FileTarget::path(fields, file.caption)))
            failNamed(folder, QStringLiteral("the file"), file.path);
    }
    for (const RunRecord::Row &row : record.rows) {
        int table = -1;
        for (int target = 0; target < FirstFileTarget; ++target) {
            if (row.table == targetCaption(target))
                table = target;
        }
        if (table < 0)
            failNamed(folder, QStringLiteral("the table"), row.table);
        for (const RunRecord::Column &column : row.columns) {
            bool set = false;
            for (const RowUpdate &update : rowUpdatesOf(table)) {
                for (const RowUpdate::Assignment &assignment : update.assignments)
                    set = set || column.name == QLatin1String(assignment.column);
            }
            if (!set)
                failNamed(folder, QStringLiteral("the column"), row.table + QLatin1Char('.') + column.name);
        }
        for (const auto &[column, value] : row.key) {
            if (hasControlCharacter(column))
                failNamed(folder, QStringLiteral("the column"), row.table + QLatin1Char('.') + column);
        }
    }
}

Item fileItem(const PrivateFolder &run, const RunRecord::File &file, const QString &settingsPath)
{
    const bool settings = file.caption == SettingsCaption;
    Item item{settings ? Item::Kind::Settings : Item::Kind::File, Item::State::CannotRestore,
              settings ? QFileInfo(file.path).fileName() : file.caption, {}, file.path, {}, {}, {}};
    if (settings && RunScope::identity(file.path) != RunScope::identity(settingsPath)) {
        item.lines.append(Indent + QStringLiteral("Kept from the settings file \"%1\"; the one in use is \"%2\"")
                                       .arg(QDir::toNativeSeparators(file.path), visibleText(QDir::toNativeSeparators(settingsPath))));
        return item;
    }
    if (file.keptAs.isEmpty()) {
        item.lines.append(Indent
                          + (file.linkTarget.isEmpty()
                                 ? QStringLiteral("Nothing stood here before that run; remove the file by hand if it is not wanted")
                                 : QStringLiteral("A symbolic link to \"%1\" stood here, which the run replaced by a file; put it back by "
                                                  "hand if it is wanted")
                                       .arg(file.linkTarget)));
        return item;
    }
    try {
        item.kept = run.read(file.keptAs, MaxFileSize);
    } catch (const Failure &failure) {
        failNotARun(run.path(), failure.cause());
    }
    if (RunRecord::digestOf(item.kept) != file.kept)
        failNotARun(run.path(), QStringLiteral("its copy of %1 is not what it kept").arg(file.caption));

    QByteArray current;
    try {
        // Settings.ini is read where a save writes it; a server file where the run replaces it.
        const QString path = settings ? Settings::writtenPath(file.path) : file.path;
        const PathEntry entry = PathEntry::at(path);
        if (entry.kind == PathEntry::Kind::File) {
            current = readRegularFile(path, MaxFileSize);
            const QByteArray digest = RunRecord::digestOf(current);
            // A file that the run left as it was is as kept, not to be put back.
            item.state = digest == file.kept  ? Item::State::AsKept
                : digest == file.written      ? Item::State::AsWritten
                                              : Item::State::ChangedSince;
        } else if (entry.kind == PathEntry::Kind::Missing || entry.kind == PathEntry::Kind::Link) {
            item.state = Item::State::ChangedSince;
            item.note = causeAt(path, QStringLiteral("This is %1 now").arg(entry.description()));
            item.lines.append(Indent + item.note);
        } else {
            item.lines.append(Indent + causeAt(path, QStringLiteral("This is %1 now, which no file replaces").arg(entry.description())));
            return item;
        }
    } catch (const Failure &failure) {
        item.lines.append(Indent + failure.cause());
        return item;
    }
    item.file = Preview::fileDiff(current, item.kept);
    item.lines += Preview::fileChange(file.path, current, item.kept, item.file, QStringLiteral("as kept"));
    return item;
}

QString rowName(const RunRecord::Row &row)
{
    QStringList key;
    for (const auto &[column, value] : row.key)
        key.append(visibleText(column) + QStringLiteral(" = ") + Preview::shownValue(value));
    return row.table + QStringLiteral(" where ") + key.join(QStringLiteral(" and "));
}

Item rowItem(const RunRecord::Row &row, DbRecordset &recordset, const QString &otherDatabase)
{
    Item item{Item::Kind::Row, Item::State::CannotRestore, rowName(row), {}, {}, {}, row, {}};
    // A run finds a row by the table's key, else by every column that compares exactly: any other key of a
    // record could find, and rewrite, other rows.
    QStringList key;
    for (const auto &[column, value] : row.key)
        key.append(column);
    const auto isTheRunsKey = [&key](const QStringList &columns) { return key.join(QLatin1Char('\n')).compare(columns.join(QLatin1Char('\n')), Qt::CaseInsensitive) == 0; };
    const RowRefused refused{QStringLiteral("it finds a row of %1 by %2, not as a run of the tool finds it").arg(row.table, visibleText(key.join(QStringLiteral(", "))))};
    try {
        const QStringList tableKey = recordset.tableKey(row.table);
        if (!tableKey.isEmpty() && !isTheRunsKey(tableKey))
            throw refused;
        recordset.OpenRow(row.table, row.key);
        if (!recordset.hasCurrentRow()) {
            recordset.Close();
            // A row without a key is found by what the run left in it, which a later run may have changed.
            item.lines.append(Indent + QStringLiteral("No row holds what the run left there: it is gone, or a later run or someone else "
                                                      "changed it; restore the later runs first, newest first"));
            return item;
        }
        if (!isTheRunsKey(recordset.keyColumns()) || recordset.otherRowsMatch()) {
            recordset.Close();
            throw refused;
        }
        bool asWritten = true;
        bool asKept = true;
        for (const RunRecord::Column &column : row.columns) {
            const QVariant current = recordset.currentRow().value(column.name);
            item.seen.append(current);
            asWritten = asWritten && RunRecord::sameValue(current, column.after);
            asKept = asKept && RunRecord::sameValue(current, column.before);
            item.columns.push_back({column.name, current, column.before});
            item.lines.append(Indent + Indent + column.name + QStringLiteral(": ") + Preview::shownValue(current) + QStringLiteral(" \u2192 ") + Preview::shownValue(column.before));
        }
        recordset.Close();
        item.state = asKept ? Item::State::AsKept : asWritten ? Item::State::AsWritten : Item::State::ChangedSince;
        if (!otherDatabase.isEmpty() && item.state != Item::State::AsKept) {
            item.state = Item::State::OtherDatabase;
            item.lines.prepend(Indent + otherDatabase);
        }
    } catch (const StatementFailure &) {
        // A server that does not answer says nothing of this row: the restore stops whole, so that no file
        // goes back beside rows that stay as the run left them.
        recordset.Close();
        throw;
    } catch (const Failure &failure) {
        recordset.Close();
        item.lines.append(Indent + QStringLiteral("fails: ") + failure.cause());
    }
    return item;
}

QString headingOf(const Item &item)
{
    switch (item.state) {
    case Item::State::AsWritten:
        return item.kind == Item::Kind::Settings ? QStringLiteral(": put back, with the window's fields, when asked for")
                                                 : QStringLiteral(": put back");
    case Item::State::AsKept:
        return QStringLiteral(": as kept already");
    case Item::State::ChangedSince:
        return QStringLiteral(": changed since the run; left alone unless confirmed");
    case Item::State::OtherDatabase:
        return QStringLiteral(": kept from another database; left alone unless confirmed");
    case Item::State::CannotRestore:
        return QStringLiteral(": cannot be put back");
    }
    return {};
}

bool isSelected(const Item &item, const QStringList &confirmed, bool confirmAll, bool withSettings)
{
    if (item.kind == Item::Kind::Settings && !withSettings)
        return false;
    return item.state == Item::State::AsWritten || (item.needsConfirmation() && (confirmAll || confirmed.contains(item.name)));
}

// Why the rows of record are not the database's of the settings in use; empty when they are.
QString otherDatabaseOf(const RunRecord &record, const RunScope &scope)
{
    if (record.server == scope.server && record.database == scope.database)
        return {};
    return QStringLiteral("Kept from the database \"%1\" on \"%2\"; the settings in use name \"%3\" on \"%4\"")
        .arg(visibleText(record.database), visibleText(record.server), scope.database, scope.server);
}

// A server file is replaced where it lies, a link there included; Settings.ini is written as a save writes it.
QString writtenPath(const Item &item)
{
    return item.kind == Item::Kind::Settings ? Settings::writtenPath(item.path) : item.path;
}

void putBackRow(const Item &item, Module1 &module, Backup &backup)
{
    DbRecordset &recordset = module.dbRecordset;
    recordset.bind(module.dbConnection);
    recordset.OpenRow(item.row.table, item.row.key);
    RowChange change{item.row.table, recordset.currentRow(), {}, {}, {}, false};
    for (qsizetype i = 0; i < qsizetype(item.row.columns.size()); ++i) {
        const RunRecord::Column &column = item.row.columns[size_t(i)];
        // Another session's change since the plan is never overwritten unconfirmed; the update itself then
        // writes only while the row still holds what was read here.
        if (!recordset.hasCurrentRow() || !RunRecord::sameValue(recordset.currentRow().value(column.name), item.seen.value(i)))
            throw Failure(QStringLiteral("%1 changed after the restore's plan read it; nothing was put back").arg(item.name));
        recordset.setCollectValue(column.name, column.before);
        change.columns.append(column.name);
    }
    writeOpenRow(recordset, backup, change);
}

} // namespace

QString KeptRun::description() const
{
    QStringList parts{record.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), record.summary()};
    if (!isOriginal())
        parts.append(ending());
    return (parts + remarks()).join(QStringLiteral(", "));
}

bool KeptRun::isOriginal() const
{
    return record.kind != RunRecord::Kind::Run;
}

QStringList KeptRun::remarks() const
{
    QStringList parts;
    switch (record.kind) {
    case RunRecord::Kind::Run:
        break;
    case RunRecord::Kind::Installation:
        parts.append(QStringLiteral("the installation before the tool first changed it: ") + visibleText(QDir::toNativeSeparators(record.installation)));
        break;
    case RunRecord::Kind::Database:
        parts.append(QStringLiteral("the database before the tool first changed it: %1 on %2").arg(visibleText(record.database), visibleText(record.server)));
        break;
    case RunRecord::Kind::Settings:
        parts.append(QStringLiteral("the settings file before the tool first changed it"));
        break;
    }
    if (!record.restores.isEmpty())
        parts.append(QStringLiteral("a restore of ") + visibleText(record.restores));
    if (!record.note.isEmpty())
        parts.append(visibleText(record.note));
    return parts;
}

QString KeptRun::ending() const
{
    static const QStringList States{QStringLiteral("not finished"), QStringLiteral("complete"), QStringLiteral("failed")};
    return isOriginal() ? QStringLiteral("kept apart") : States.at(int(record.state));
}

std::vector<KeptRun> keptRuns(const QString &settingsPath)
{
    const std::vector<BackupFolder::Run> runs = BackupFolder::runsIn(BackupFolder::backupsFolderOf(settingsPath));
    const auto originals = std::find_if(runs.begin(), runs.end(), [](const BackupFolder::Run &run) { return run.record.kind != RunRecord::Kind::Run; });
    std::vector<KeptRun> kept;
    for (auto run = std::make_reverse_iterator(originals); run != runs.rend(); ++run)
        kept.push_back({run->folder, run->record});
    for (auto run = originals; run != runs.end(); ++run)
        kept.push_back({run->folder, run->record});
    return kept;
}

QString runFolder(const QString &run, const QString &settingsPath)
{
    if (QDir::fromNativeSeparators(run).contains(QLatin1Char('/')))
        return QFileInfo(run).absoluteFilePath();
    const QString backups = BackupFolder::backupsFolderOf(settingsPath);
    for (const KeptRun &kept : keptRuns(settingsPath)) {
        if (QFileInfo(kept.folder).fileName() == run)
            return kept.folder;
    }
    failNotARun(backups + QLatin1Char('/') + run,
                QStringLiteral("Backups keeps no run of this name; name one that the list of kept runs shows, or give the path of a run folder"));
}

bool Plan::hasChangesSince() const
{
    return std::any_of(items.begin(), items.end(), [](const Item &item) { return item.needsConfirmation(); });
}

QStringList Plan::lines() const
{
    QStringList lines{QStringLiteral("Restore of the run kept in ") + QDir::toNativeSeparators(folder)};
    if (!databaseFailure.isEmpty()) {
        lines.append(QStringLiteral("The database connection cannot be opened; the restore would stop before changing anything."));
        lines.append(Indent + QStringLiteral("fails: ") + databaseFailure);
    }
    for (const Item &item : items) {
        lines.append(QString());
        lines.append(item.name + headingOf(item));
        lines += item.lines;
    }
    return lines;
}

Plan plan(const QString &folder, const FieldSource &fields, const QString &settingsPath)
{
    const std::optional<PrivateFolder> run = PrivateFolder::open(folder);
    if (!run)
        failNotARun(folder, QStringLiteral("there is no such folder"));
    const std::optional<RunRecord> record = RunRecord::readFrom(*run);
    if (!record)
        failNotARun(folder, QStringLiteral("it holds no record of the tool's"));
    requireWhatARunWrites(folder, *record, fields, settingsPath);
    Plan plan{folder, *record, {}, {}};
    if (!record->rows.empty()) {
        const QString otherDatabase = otherDatabaseOf(*record, RunScope::of(fields, settingsPath));
        DbConnection connection;
        DbRecordset recordset;
        try {
            connection.OpenAccountDatabase(fields);
            recordset.bind(connection);
            for (const RunRecord::Row &row : record->rows)
                plan.items.push_back(rowItem(row, recordset, otherDatabase));
        } catch (const RowRefused &refused) {
            failNotARun(folder, refused.why);
        } catch (const Failure &failure) {
            plan.databaseFailure = failure.cause();
        }
    }
    for (const RunRecord::File &file : record->files)
        plan.items.push_back(fileItem(*run, file, settingsPath));
    return plan;
}

Result restore(const QString &folder, const QStringList &confirmed, bool confirmAll, bool withSettings, const FieldSource &fields,
               Module1 &module, const QString &settingsPath)
{
    const QString message = QStringLiteral("Error Reading Data");
    Result result;
    QString errorContext;
    BackupFolder backup(settingsPath, fields);
    backup.setRestores(QFileInfo(folder).fileName());
    try {
        // Whatever it puts back, rows only too: a run in between would change what the plan saw.
        const InstallationLock lock(RunScope::of(fields, settingsPath).installation);
        const Plan current = plan(folder, fields, settingsPath);
        if (!current.databaseFailure.isEmpty())
            throw Failure(current.databaseFailure);
        std::vector<const Item *> rows;
        std::vector<const Item *> files;
        for (const Item &item : current.items) {
            if (isSelected(item, confirmed, confirmAll, withSettings))
                (item.kind == Item::Kind::Row ? rows : files).push_back(&item);
            else if (item.needsConfirmation() || item.state == Item::State::CannotRestore)
                result.leftAlone.append(item.name);
        }

        // Everything that can be known before writing, as a run checks it: each file it will write, one
        // deleted since included, and what the backup reads of it.
        backup.check();
        for (const Item *item : files) {
            errorContext = item->name;
            const QString path = writtenPath(*item);
            FileReplacement::check(path, FileReplacement::IfMissing::Create);
            if (PathEntry::at(path).kind == PathEntry::Kind::File)
                readRegularFile(path, MaxFileSize);
        }
        errorContext.clear();
        FileTarget::removeLeftovers(fields);
        if (!rows.empty()) {
            module.dbConnection.CloseConnection();
            module.dbConnection.OpenAccountDatabase(fields);
            // All the rows go back, or none: a row that cannot is found before any file is touched.
            Transaction transaction(module.dbConnection);
            for (const Item *item : rows) {
                errorContext = item->name;
                putBackRow(*item, module, backup);
            }
            errorContext.clear();
            commitRows(transaction, backup);
            module.dbConnection.CloseConnection();
        }
        for (const Item *item : files) {
            errorContext = item->name;
            if (item->kind == Item::Kind::Settings)
                backup.keepSettings(item->kept);
            else
                backup.keepFile(item->name, writtenPath(*item), item->kept);
            FileReplacement::replace(writtenPath(*item), item->kept, FileReplacement::IfMissing::Create);
            backup.changed();
        }
        backup.finish();
    } catch (const Failure &failure) {
        module.dbRecordset.Close();
        module.dbConnection.CloseConnection();
        backup.abandon();
        result.outcome = {false, message + errorContext, failure.cause()};
    }
    return result;
}

} // namespace Restore
