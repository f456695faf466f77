#include "restore/Restore.h"

#include "database/DatabaseTargets.h"
#include "database/DbConnection.h"
#include "database/DbRecordset.h"
#include "database/Module1.h"
#include "model/Form.h"
#include "model/Settings.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"
#include "platform/InstallationLock.h"
#include "platform/PathEntry.h"
#include "platform/ProgramPath.h"
#include "preview/Preview.h"
#include "update/BackupFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlRecord>
#include <algorithm>
#include <optional>

namespace Restore {

namespace {

const QString Indent = QStringLiteral("    ");
const QString SettingsCaption = QStringLiteral("Settings.ini");

[[noreturn]] void failNotARun(const QString &folder, const QString &why)
{
    throw Failure(causeAt(QDir::toNativeSeparators(folder),
                          QStringLiteral("This is no complete run kept by the tool: %1; nothing was restored").arg(why)));
}

// A copy below the run folder, as its record names it: never a way out of the folder.
QString keptCopy(const QString &folder, const QString &keptAs)
{
    if (QDir::isAbsolutePath(keptAs) || keptAs.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        failNotARun(folder, QStringLiteral("its record names a copy outside the folder"));
    return folder + QLatin1Char('/') + keptAs;
}

// Only the files the tool writes, where the run wrote them, whatever a record says.
bool isKnownFile(const RunRecord::File &file)
{
    if (file.caption == SettingsCaption)
        return QFileInfo(file.path).fileName() == SettingsCaption;
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        if (file.caption == targetCaption(target))
            return file.path.endsWith(fileSystemPath(file.caption));
    }
    return false;
}

Item fileItem(const QString &folder, const RunRecord::File &file)
{
    if (!isKnownFile(file))
        failNotARun(folder, QStringLiteral("its record names the file \"%1\"").arg(file.path));
    Item item{file.caption == SettingsCaption ? Item::Kind::Settings : Item::Kind::File, Item::State::CannotRestore, file.caption, {}, file.path, {}, {}};
    if (file.keptAs.isEmpty()) {
        item.lines.append(Indent + QStringLiteral("A symbolic link to \"%1\" stood here, which the run replaced by a file; put it back by "
                                                  "hand if it is wanted")
                                       .arg(file.linkTarget));
        return item;
    }
    try {
        item.kept = readRegularFile(keptCopy(folder, file.keptAs), MaxFileSize);
    } catch (const Failure &failure) {
        failNotARun(folder, failure.cause());
    }
    if (RunRecord::digestOf(item.kept) != file.kept)
        failNotARun(folder, QStringLiteral("its copy of %1 is not what it kept").arg(file.caption));

    QByteArray current;
    const PathEntry entry = PathEntry::at(file.path);
    if (entry.kind == PathEntry::Kind::File) {
        try {
            current = readRegularFile(file.path, MaxFileSize);
        } catch (const Failure &failure) {
            item.lines.append(Indent + failure.cause());
            return item;
        }
        const QByteArray digest = RunRecord::digestOf(current);
        item.state = digest == file.written ? Item::State::AsWritten : digest == file.kept ? Item::State::AsKept : Item::State::ChangedSince;
    } else if (entry.kind == PathEntry::Kind::Missing || entry.kind == PathEntry::Kind::Link) {
        item.state = Item::State::ChangedSince;
        item.note = causeAt(file.path, QStringLiteral("This is %1 now").arg(entry.description()));
        item.lines.append(Indent + item.note);
    } else {
        item.lines.append(Indent + causeAt(file.path, QStringLiteral("This is %1 now, which no file replaces").arg(entry.description())));
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
        key.append(column + QStringLiteral(" = ") + Preview::shownValue(value));
    return row.table + QStringLiteral(" where ") + key.join(QStringLiteral(" and "));
}

Item rowItem(const QString &folder, const RunRecord::Row &row, DbRecordset &recordset)
{
    // Only the tables the tool writes, whatever a record says.
    bool known = false;
    for (int target = 0; target < FirstFileTarget; ++target)
        known = known || row.table == targetCaption(target);
    if (!known)
        failNotARun(folder, QStringLiteral("its record names the table \"%1\"").arg(row.table));

    Item item{Item::Kind::Row, Item::State::CannotRestore, rowName(row), {}, {}, {}, row};
    try {
        recordset.OpenRow(row.table, row.key);
        if (!recordset.hasCurrentRow()) {
            recordset.Close();
            item.lines.append(Indent + QStringLiteral("The row is gone"));
            return item;
        }
        bool asWritten = true;
        bool asKept = true;
        for (const RunRecord::Column &column : row.columns) {
            const QVariant current = recordset.currentRow().value(column.name);
            asWritten = asWritten && Preview::sameValue(current, column.after);
            asKept = asKept && Preview::sameValue(current, column.before);
            item.columns.push_back({column.name, current, column.before});
            item.lines.append(Indent + Indent + column.name + QStringLiteral(": ") + Preview::shownValue(current) + QStringLiteral(" \u2192 ") + Preview::shownValue(column.before));
        }
        recordset.Close();
        item.state = asWritten ? Item::State::AsWritten : asKept ? Item::State::AsKept : Item::State::ChangedSince;
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
    case Item::State::CannotRestore:
        return QStringLiteral(": cannot be put back");
    }
    return {};
}

bool isSelected(const Item &item, const QStringList &confirmed, bool confirmAll, bool withSettings)
{
    if (item.kind == Item::Kind::Settings && !withSettings)
        return false;
    return item.state == Item::State::AsWritten
        || (item.state == Item::State::ChangedSince && (confirmAll || confirmed.contains(item.name)));
}

// The installation the files lie in: the path of the first file without its caption.
QString installationOf(const std::vector<const Item *> &files)
{
    for (const Item *item : files) {
        const QString caption = fileSystemPath(item->name);
        if (item->kind == Item::Kind::File && item->path.endsWith(caption))
            return item->path.chopped(caption.size());
    }
    return {};
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
    RowChange change{item.row.table, recordset.currentRow(), {}, {}, {}};
    for (const RunRecord::Column &column : item.row.columns) {
        recordset.setCollectValue(column.name, column.before);
        change.columns.append(column.name);
    }
    writeOpenRow(recordset, backup, change);
}

} // namespace

QString KeptRun::description() const
{
    const QStringList parts{record.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), record.summary(), ending()};
    return (parts + remarks()).join(QStringLiteral(", "));
}

QStringList KeptRun::remarks() const
{
    QStringList parts;
    if (first)
        parts.append(QStringLiteral("the installation before the tool first changed it"));
    if (!record.restores.isEmpty())
        parts.append(QStringLiteral("a restore of ") + record.restores);
    if (!record.note.isEmpty())
        parts.append(record.note);
    return parts;
}

QString KeptRun::ending() const
{
    static const QStringList States{QStringLiteral("not finished"), QStringLiteral("complete"), QStringLiteral("failed")};
    return States.at(int(record.state));
}

std::vector<KeptRun> keptRuns(const QString &settingsPath)
{
    const std::vector<BackupFolder::Run> runs = BackupFolder::runsIn(BackupFolder::backupsFolderOf(settingsPath));
    std::vector<KeptRun> kept;
    for (auto run = runs.rbegin(); run != runs.rend(); ++run)
        kept.push_back({run->folder, run->record, run == std::prev(runs.rend())});
    return kept;
}

QString runFolder(const QString &run, const QString &settingsPath)
{
    const QString named = BackupFolder::backupsFolderOf(settingsPath) + QLatin1Char('/') + run;
    return PathEntry::at(named).kind == PathEntry::Kind::Folder ? named : QFileInfo(run).absoluteFilePath();
}

bool Plan::hasChangesSince() const
{
    return std::any_of(items.begin(), items.end(), [](const Item &item) { return item.state == Item::State::ChangedSince; });
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

Plan plan(const QString &folder, const FieldSource &fields)
{
    const std::optional<RunRecord> record = RunRecord::readFrom(folder);
    if (!record)
        failNotARun(folder, QStringLiteral("it holds no record of the tool's"));
    if (record->state == RunRecord::State::Running)
        failNotARun(folder, QStringLiteral("its run did not finish"));
    Plan plan{folder, *record, {}, {}};
    if (!record->rows.empty()) {
        DbConnection connection;
        DbRecordset recordset; // ends before the connection it is bound to
        try {
            connection.OpenConnection(fields.fieldText(Field::txtSQLIP), QStringLiteral("sa"), fields.fieldText(Field::txtSQLPass),
                                      QStringLiteral("Account"));
            recordset.bind(connection);
            for (const RunRecord::Row &row : record->rows)
                plan.items.push_back(rowItem(folder, row, recordset));
        } catch (const Failure &failure) {
            plan.databaseFailure = failure.cause();
        }
    }
    for (const RunRecord::File &file : record->files)
        plan.items.push_back(fileItem(folder, file));
    return plan;
}

Result restore(const QString &folder, const QStringList &confirmed, bool confirmAll, bool withSettings, const FieldSource &fields,
               Module1 &module, const QString &settingsPath)
{
    const QString message = QStringLiteral("Error Reading Data");
    Result result;
    QString errorContext;
    BackupFolder backup(settingsPath);
    backup.setRestores(QFileInfo(folder).fileName());
    try {
        const Plan current = plan(folder, fields);
        if (!current.databaseFailure.isEmpty())
            throw Failure(current.databaseFailure);
        std::vector<const Item *> rows;
        std::vector<const Item *> files;
        for (const Item &item : current.items) {
            if (isSelected(item, confirmed, confirmAll, withSettings))
                (item.kind == Item::Kind::Row ? rows : files).push_back(&item);
            else if (item.state == Item::State::ChangedSince || item.state == Item::State::CannotRestore)
                result.leftAlone.append(item.name);
        }

        // Everything that can be known before writing, as a run checks it.
        const QString installation = installationOf(files);
        std::optional<InstallationLock> lock;
        if (!installation.isEmpty())
            lock.emplace(installation);
        backup.check();
        for (const Item *item : files) {
            errorContext = item->name;
            FileReplacement::check(writtenPath(*item), FileReplacement::IfMissing::Create);
        }
        errorContext.clear();
        if (!rows.empty()) {
            module.dbConnection.CloseConnection();
            module.dbConnection.OpenConnection(fields.fieldText(Field::txtSQLIP), QStringLiteral("sa"), fields.fieldText(Field::txtSQLPass),
                                               QStringLiteral("Account"));
            for (const Item *item : rows) {
                errorContext = item->name;
                putBackRow(*item, module, backup);
            }
            module.dbConnection.CloseConnection();
        }
        for (const Item *item : files) {
            errorContext = item->name;
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
