#include "update/BackupFolder.h"

#include "database/OdbcStatement.h"
#include "database/ServerDialect.h"
#include "model/Settings.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"
#include "platform/PathEntry.h"
#include "platform/PrivateFolder.h"
#include "platform/ProgramPath.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMetaType>
#include <QSqlRecord>
#include <algorithm>
#include <limits>

namespace {

const QString DatabaseFile = QStringLiteral("database.txt");
const QString SettingsCaption = QStringLiteral("Settings.ini");

[[noreturn]] void failWith(const QString &path, const QString &cause)
{
    throw Failure(causeAt(path, cause));
}

// Creates a folder that only its owner can enter; false when the name is taken by anything already.
bool createPrivateFolder(const QString &path)
{
    if (QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return true;
    const QString cause = qt_error_string();
    if (PathEntry::at(path).kind != PathEntry::Kind::Missing)
        return false;
    failWith(path, cause);
}

// Whether the tool may create things in folder: tried, since only the system knows (ACLs, read-only media).
void requireWritableFolder(const QString &folder, const QString &consequence)
{
    const QString failure = writeFailureIn(folder);
    if (!failure.isEmpty())
        failWith(folder, QStringLiteral("This folder cannot be written (%1), so %2").arg(failure, consequence));
}

// The folder the backups go to, through a link only where it leads to a folder of the user running the tool.
QString backupsFolderBehind(const QString &backups)
{
    const QString folder = ownLinkTarget(backups);
    const PathEntry entry = PathEntry::at(folder);
    if (entry.kind != PathEntry::Kind::Missing && entry.kind != PathEntry::Kind::Folder)
        failWith(backups, QStringLiteral("This is %1, not a folder; the backups of the runs are kept in a folder of this name, "
                                         "so move it away")
                              .arg(entry.description()));
    return folder;
}

// Creates the folders of relativePath below folder as they are missing, then the file, replacing any.
void writeIn(const QString &folder, const QString &relativePath, const QByteArray &bytes)
{
    QString path = folder;
    const QStringList names = relativePath.split(QLatin1Char('/'));
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        path += QLatin1Char('/') + names.at(i);
        if (!createPrivateFolder(path) && PathEntry::at(path).kind != PathEntry::Kind::Folder)
            failWith(path, QStringLiteral("This is %1, not a folder").arg(PathEntry::at(path).description()));
    }
    FileReplacement::replace(path + QLatin1Char('/') + names.last(), bytes, FileReplacement::IfMissing::Create);
}

// The runs and originals in folder: its folders that hold a record of the tool's. A folder without one is
// not the tool's and is left alone, whoever it belongs to; one with a record is used only when it is private.
void collectRuns(const PrivateFolder &folder, std::vector<BackupFolder::Run> &runs)
{
    for (const QString &name : folder.folders()) {
        if (folder.kind(name + QLatin1Char('/') + RunRecord::FileName) == PathEntry::Kind::Missing)
            continue;
        if (const std::optional<PrivateFolder> run = folder.folder(name)) {
            if (std::optional<RunRecord> record = RunRecord::readFrom(*run))
                runs.push_back({run->path(), *record});
        }
    }
}

// The number of the next run: one more than any kept. A record that holds the largest number there is would
// make it wrap round and come first; no run is numbered then.
qint64 nextSequence(const std::vector<BackupFolder::Run> &runs)
{
    qint64 last = 0;
    for (const BackupFolder::Run &run : runs) {
        if (run.record.kind != RunRecord::Kind::Run)
            continue;
        if (run.record.sequence == std::numeric_limits<qint64>::max())
            failWith(run.folder, QStringLiteral("Its record numbers the run %1, the largest number there is, so no later run can be "
                                                "numbered after it; move this folder out of Backups")
                                     .arg(run.record.sequence));
        last = std::max(last, run.record.sequence);
    }
    return last + 1;
}

// The folder of the originals of what kind names, by what it names: a short digest, since a path or an
// address is no folder name.
QString originalsName(RunRecord::Kind kind, const RunScope &scope)
{
    const auto named = [](const char *what, const QString &identity) {
        return QLatin1String(what) + QLatin1Char(' ')
            + QString::fromLatin1(QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256).toHex().left(12));
    };
    if (kind == RunRecord::Kind::Installation)
        return named("Original installation", RunScope::identity(scope.installation));
    if (kind == RunRecord::Kind::Database)
        return named("Original database", scope.server + QLatin1Char('\n') + scope.database);
    return named("Original settings", RunScope::identity(scope.settingsPath));
}

void addNote(RunRecord &record, const QString &note)
{
    record.note += (record.note.isEmpty() ? QString() : QStringLiteral("; ")) + note;
}

// A value as SQL Server reads it back: a number bare, a text as a Unicode literal. A control character or
// "$" stands as NCHAR(n) outside the quotes, so that the statement stays on one line and no client takes a
// part of a value for a command of its own (a line "GO" or ":r", a variable "$(name)").
QString sqlLiteral(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    if (isWholeNumber(value))
        return value.toString();
    QStringList parts;
    QString quoted;
    const auto endQuote = [&] {
        if (!quoted.isEmpty())
            parts.append(QStringLiteral("N'") + quoted + QLatin1Char('\''));
        quoted.clear();
    };
    for (const QChar character : value.toString()) {
        if (character.category() == QChar::Other_Control || character == QLatin1Char('$')) {
            endQuote();
            parts.append(QStringLiteral("NCHAR(%1)").arg(character.unicode()));
        } else {
            quoted += character == QLatin1Char('\'') ? QStringLiteral("''") : QString(character);
        }
    }
    endQuote();
    return parts.isEmpty() ? QStringLiteral("N''") : parts.join(QStringLiteral(" + "));
}

// The columns that find the row are named as the server named them, and quoted: one may hold a blank or be a
// reserved word.
QString condition(const std::vector<std::pair<QString, QVariant>> &key)
{
    QStringList conditions;
    for (const auto &[name, value] : key) {
        const QString column = serverDialect().quoted(name);
        conditions.append(value.isNull() ? column + QStringLiteral(" IS NULL") : column + QStringLiteral(" = ") + sqlLiteral(value));
    }
    return conditions.join(QStringLiteral(" AND "));
}

// database.txt: one statement per row, each on a line of its own, that puts the row's old values back;
// UTF-8 with a byte-order mark, so that any value, in any script, is kept.
QByteArray restoreStatements(const std::vector<RunRecord::Row> &rows)
{
    QString text;
    for (const RunRecord::Row &row : rows) {
        QStringList assignments;
        for (const RunRecord::Column &column : row.columns)
            assignments.append(column.name + QStringLiteral(" = ") + sqlLiteral(column.before));
        text += QStringLiteral("UPDATE ") + row.table + QStringLiteral(" SET ") + assignments.join(QStringLiteral(", "))
            + QStringLiteral(" WHERE ") + condition(row.key) + QStringLiteral(";\r\n");
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace

BackupFolder::BackupFolder(const QString &settingsPath, const FieldSource &fields, const QDateTime &startedAt)
    : m_scope(RunScope::of(fields, settingsPath))
    , m_backups(backupsFolderOf(settingsPath))
    , m_stamp(QLocale::c().toString(startedAt, QStringLiteral("yyyy-MM-dd HH-mm-ss")))
{
    m_record.started = startedAt;
    m_record.installation = m_scope.installation;
    m_record.server = m_scope.server;
    m_record.database = m_scope.database;
}

const QString BackupFolder::OriginalsFolder = QStringLiteral("Originals");

QString BackupFolder::backupsFolderOf(const QString &settingsPath)
{
    return QFileInfo(settingsPath).absolutePath() + QStringLiteral("/Backups");
}

void BackupFolder::check()
{
    const QString backups = backupsFolderBehind(m_backups);
    if (PathEntry::at(backups).kind == PathEntry::Kind::Folder) {
        nextSequence(runsIn(backups));
        requireWritableFolder(backups, QStringLiteral("the backups of the runs cannot be kept there"));
    } else {
        requireWritableFolder(QFileInfo(m_scope.settingsPath).absolutePath(),
                              QStringLiteral("Settings.ini and the backups of the runs cannot be kept here; move the tool to a "
                                             "folder you can write to, such as the server's own"));
    }
}

void BackupFolder::keepFile(const QString &caption, const QString &path, const QByteArray &written)
{
    keep({caption, path, QString(caption).replace(QLatin1Char('\\'), QLatin1Char('/')), {}, {}, {}}, path, written,
         RunRecord::Kind::Installation);
}

void BackupFolder::keepSettings(const QByteArray &written)
{
    // Read where a save writes; named as the run was given it, which is what a restore compares.
    const QString path = Settings::writtenPath(m_scope.settingsPath);
    if (PathEntry::at(path).kind == PathEntry::Kind::Missing)
        return;
    keep({SettingsCaption, m_scope.settingsPath, SettingsCaption, {}, {}, {}}, path, written, RunRecord::Kind::Settings);
}

void BackupFolder::keep(RunRecord::File file, const QString &path, const QByteArray &written, RunRecord::Kind originalsKind)
{
    const PathEntry entry = PathEntry::at(path);
    QByteArray bytes;
    if (entry.kind == PathEntry::Kind::Link) {
        // Never followed: what the link points to is not the installation's to keep.
        file.keptAs.clear();
        file.linkTarget = entry.linkTarget;
    } else if (entry.kind == PathEntry::Kind::Missing) {
        file.keptAs.clear(); // a restore puts back a file deleted since: nothing stood there
    } else {
        bytes = readRegularFile(path, MaxFileSize);
        file.kept = RunRecord::digestOf(bytes);
    }
    file.written = RunRecord::digestOf(written);
    if (m_folder.isEmpty())
        createFolder();
    if (!file.keptAs.isEmpty())
        writeIn(m_folder, file.keptAs, bytes);
    m_record.files.push_back(file);
    writeRecord();
    keepOriginalFile(originalsKind, file, bytes);
}

void BackupFolder::keepRow(const RowChange &change)
{
    RunRecord::Row row{change.table, {}, {}};
    for (const QString &column : change.keyColumns)
        row.key.emplace_back(column, change.after.value(column));
    for (const QString &column : change.columns)
        row.columns.push_back({column, change.before.value(column), change.after.value(column)});
    if (m_folder.isEmpty())
        createFolder();
    m_record.rows.push_back(row);
    writeIn(m_folder, DatabaseFile, restoreStatements(m_record.rows));
    writeRecord();
    keepOriginalRow(row, change);
}

void BackupFolder::changed()
{
    m_changed = true;
    for (const std::function<void()> &update : std::exchange(m_onChanged, {}))
        update();
}

void BackupFolder::writeRecord()
{
    writeIn(m_folder, RunRecord::FileName, m_record.toJson());
}

void BackupFolder::createFolder()
{
    const QString backups = backupsFolderBehind(m_backups);
    m_createdBackups = createPrivateFolder(backups);
    // Two settings files in one folder share its backups: their runs keep them, and their originals, one at a time.
    m_lock.emplace(backups, QStringLiteral("Another run is keeping its backups in this folder, so this run wrote nothing; try again when it "
                                           "has ended"),
                   BackupsWaitSeconds);
    m_record.sequence = nextSequence(runsIn(backups));
    // A later run of the same second gets " (2)", " (3)", …: the first name that nothing has taken.
    for (int run = 1;; ++run) {
        const QString name = run == 1 ? m_stamp : QStringLiteral("%1 (%2)").arg(m_stamp).arg(run);
        const QString folder = backups + QLatin1Char('/') + name;
        if (createPrivateFolder(folder)) {
            m_folder = folder;
            break;
        }
    }
    writeRecord();
}

BackupFolder::Originals &BackupFolder::originals(RunRecord::Kind kind)
{
    const auto found = m_originals.find(kind);
    if (found != m_originals.end())
        return found->second;
    const QString store = backupsFolderBehind(m_backups) + QLatin1Char('/') + OriginalsFolder;
    Originals originals{store + QLatin1Char('/') + originalsName(kind, m_scope), {}, false};
    if (std::optional<RunRecord> record = RunRecord::readFrom(originals.folder)) {
        originals.record = *record;
    } else if (PathEntry::at(originals.folder).kind != PathEntry::Kind::Missing) {
        // Its copies would be taken for the originals of what this run found.
        failWith(originals.folder, QStringLiteral("These originals hold no record that the tool can read, so it will not add to them; put "
                                                  "their run.json back, or move the folder away"));
    } else {
        originals.record.kind = kind;
        originals.record.started = m_record.started;
        originals.record.state = RunRecord::State::Complete;
        if (kind == RunRecord::Kind::Database) {
            originals.record.server = m_scope.server;
            originals.record.database = m_scope.database;
        } else if (kind == RunRecord::Kind::Installation) {
            originals.record.installation = m_scope.installation;
        }
    }
    return m_originals.emplace(kind, originals).first->second;
}

void BackupFolder::keepOriginalFile(RunRecord::Kind kind, const RunRecord::File &file, const QByteArray &bytes)
{
    Originals &store = originals(kind);
    std::vector<RunRecord::File> &files = store.record.files;
    const auto found = std::find_if(files.begin(), files.end(), [&file](const RunRecord::File &kept) {
        return kept.caption == file.caption && kept.path == file.path;
    });
    if (found != files.end()) {
        m_onChanged.push_back([&store, index = found - files.begin(), written = file.written] {
            store.record.files[size_t(index)].written = written;
            store.changed = true;
        });
        return;
    }
    // The first change the tool makes to this file: its original is kept before it is made.
    createOriginalsFolder(store);
    if (!file.keptAs.isEmpty())
        writeIn(store.folder, file.keptAs, bytes);
    files.push_back(file);
    writeIn(store.folder, RunRecord::FileName, store.record.toJson());
}

void BackupFolder::keepOriginalRow(const RunRecord::Row &row, const RowChange &change)
{
    Originals &store = originals(RunRecord::Kind::Database);
    std::vector<RunRecord::Row> &rows = store.record.rows;
    // The row as this run found it is where the last run that changed it left it.
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const RunRecord::Row &kept) {
        return kept.table == row.table && !kept.key.empty() && std::all_of(kept.key.begin(), kept.key.end(), [&](const auto &key) {
                   return RunRecord::sameValue(change.before.value(key.first), key.second);
               });
    });
    if (found != rows.end()) {
        const bool sameColumns = std::all_of(row.columns.begin(), row.columns.end(), [&](const RunRecord::Column &column) {
            return std::any_of(found->columns.begin(), found->columns.end(), [&](const RunRecord::Column &kept) { return kept.name == column.name; });
        });
        if (sameColumns) {
            m_onChanged.push_back([&store, index = found - rows.begin(), row] {
                RunRecord::Row &kept = store.record.rows[size_t(index)];
                kept.key = row.key;
                for (RunRecord::Column &column : kept.columns) {
                    for (const RunRecord::Column &written : row.columns) {
                        if (written.name == column.name)
                            column.after = written.after;
                    }
                }
                store.changed = true;
            });
            return;
        }
    }
    // The first change the tool makes to this row (or to these of its columns): kept before it is made.
    createOriginalsFolder(store);
    rows.push_back(row);
    writeIn(store.folder, DatabaseFile, restoreStatements(rows));
    writeIn(store.folder, RunRecord::FileName, store.record.toJson());
}

void BackupFolder::createOriginalsFolder(Originals &store)
{
    m_createdOriginalsFolder = createPrivateFolder(QFileInfo(store.folder).absolutePath()) || m_createdOriginalsFolder;
    store.created = createPrivateFolder(store.folder) || store.created;
}

// What later runs wrote over the originals, so that restoring them finds what it expects. Never fails a run:
// an original whose record could not be brought up to date is shown as changed since when it is restored.
void BackupFolder::saveOriginals()
{
    for (auto &[kind, store] : m_originals) {
        if (!store.changed)
            continue;
        try {
            writeIn(store.folder, RunRecord::FileName, store.record.toJson());
        } catch (const Failure &failure) {
            addNote(m_record, failure.cause());
        }
    }
}

std::vector<BackupFolder::Run> BackupFolder::runsIn(const QString &backups)
{
    std::vector<Run> runs;
    std::vector<Run> originals;
    if (const std::optional<PrivateFolder> folder = PrivateFolder::open(backupsFolderBehind(backups))) {
        collectRuns(*folder, runs);
        if (const std::optional<PrivateFolder> store = folder->folder(OriginalsFolder))
            collectRuns(*store, originals);
    }
    runs.erase(std::remove_if(runs.begin(), runs.end(), [](const Run &run) { return run.record.kind != RunRecord::Kind::Run; }), runs.end());
    originals.erase(std::remove_if(originals.begin(), originals.end(), [](const Run &run) { return run.record.kind == RunRecord::Kind::Run; }),
                    originals.end());
    std::sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) { return a.record.sequence < b.record.sequence; });
    runs.insert(runs.end(), originals.begin(), originals.end());
    return runs;
}

void BackupFolder::finish()
{
    if (m_folder.isEmpty())
        return;
    m_record.state = RunRecord::State::Complete;
    saveOriginals();
    removeOldRuns();
    try {
        writeRecord();
    } catch (const Failure &) {
        // The run is complete and its backup whole; only the record still says it is running.
    }
}

void BackupFolder::removeOldRuns()
{
    QStringList notRemoved;
    try {
        const QString backups = QFileInfo(m_folder).absolutePath();
        std::vector<Run> runs = runsIn(backups);
        runs.erase(std::remove_if(runs.begin(), runs.end(), [](const Run &run) { return run.record.kind != RunRecord::Kind::Run; }), runs.end());
        const std::optional<PrivateFolder> folder = PrivateFolder::open(backups);
        // The newest KeptRuns stay, and the first; the originals lie apart, out of reach.
        for (size_t i = 1; folder && i + KeptRuns < runs.size(); ++i) {
            if (runs[i].folder == m_folder)
                continue;
            try {
                folder->remove(QFileInfo(runs[i].folder).fileName());
            } catch (const Failure &failure) {
                notRemoved.append(failure.cause());
            }
        }
    } catch (const Failure &failure) {
        notRemoved.append(failure.cause());
    }
    if (!notRemoved.isEmpty())
        addNote(m_record, QStringLiteral("These old backups could not be removed: ") + notRemoved.join(QStringLiteral("; ")));
}

void BackupFolder::abandon()
{
    if (m_folder.isEmpty())
        return;
    if (!m_changed) {
        // Nor originals that only this run kept: what it did not change is no more original for them.
        try {
            const QString backups = QFileInfo(m_folder).absolutePath();
            if (const std::optional<PrivateFolder> folder = PrivateFolder::open(backups)) {
                folder->remove(QFileInfo(m_folder).fileName());
                if (m_createdOriginalsFolder)
                    folder->remove(OriginalsFolder);
            }
            if (m_createdBackups)
                QDir().rmdir(backupsFolderBehind(m_backups)); // only when nothing else came into it meanwhile
            for (const auto &[kind, store] : m_originals) {
                const std::optional<PrivateFolder> originals = PrivateFolder::open(QFileInfo(store.folder).absolutePath());
                if (store.created && originals)
                    originals->remove(QFileInfo(store.folder).fileName());
            }
        } catch (const Failure &) {
            // What is left holds copies of what this run did not change: harmless, and a run folder is pruned later.
        }
        m_folder.clear();
        return;
    }
    m_record.state = RunRecord::State::Failed;
    saveOriginals();
    try {
        writeRecord();
    } catch (const Failure &) {
        // The copies are whole; only the record still says the run is going on, and a restore takes it as it is.
    }
}
