#include "update/BackupFolder.h"

#include "model/Settings.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"
#include "platform/PathEntry.h"
#include "platform/ProgramPath.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMetaType>
#include <QSqlRecord>
#include <algorithm>

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

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

// A value as SQL Server reads it back: a number bare, a text as a Unicode literal. A control character or
// "$" stands as NCHAR(n) outside the quotes, so that the statement stays on one line and no client takes a
// part of a value for a command of its own (a line "GO" or ":r", a variable "$(name)").
QString sqlLiteral(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    if (isNumber(value))
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

QString condition(const std::vector<std::pair<QString, QVariant>> &key)
{
    QStringList conditions;
    for (const auto &[name, value] : key)
        conditions.append(value.isNull() ? name + QStringLiteral(" IS NULL") : name + QStringLiteral(" = ") + sqlLiteral(value));
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

BackupFolder::BackupFolder(const QString &settingsPath, const QDateTime &startedAt)
    : m_settingsPath(settingsPath)
    , m_backups(backupsFolderOf(settingsPath))
    , m_stamp(QLocale::c().toString(startedAt, QStringLiteral("yyyy-MM-dd HH-mm-ss")))
{
    m_record.started = startedAt;
}

QString BackupFolder::backupsFolderOf(const QString &settingsPath)
{
    return QFileInfo(settingsPath).absolutePath() + QStringLiteral("/Backups");
}

void BackupFolder::check()
{
    const QString backups = backupsFolderBehind(m_backups);
    if (PathEntry::at(backups).kind == PathEntry::Kind::Folder)
        requireWritableFolder(backups, QStringLiteral("the backups of the runs cannot be kept there"));
    else
        requireWritableFolder(QFileInfo(m_settingsPath).absolutePath(),
                              QStringLiteral("Settings.ini and the backups of the runs cannot be kept here; move the tool to a "
                                             "folder you can write to, such as the server's own"));
}

void BackupFolder::keepFile(const QString &caption, const QString &path, const QByteArray &written)
{
    keep({caption, path, QString(caption).replace(QLatin1Char('\\'), QLatin1Char('/')), {}, {}, {}}, path, written);
}

void BackupFolder::keepSettings(const QByteArray &written)
{
    const QString path = Settings::writtenPath(m_settingsPath);
    if (PathEntry::at(path).kind == PathEntry::Kind::Missing)
        return;
    keep({SettingsCaption, path, SettingsCaption, {}, {}, {}}, path, written);
}

void BackupFolder::keep(RunRecord::File file, const QString &path, const QByteArray &written)
{
    const PathEntry entry = PathEntry::at(path);
    QByteArray bytes;
    if (entry.kind == PathEntry::Kind::Link) {
        // Never followed: what the link points to is not the installation's to keep.
        file.keptAs.clear();
        file.linkTarget = entry.linkTarget;
    } else {
        bytes = readRegularFile(path, MaxFileSize);
        file.kept = RunRecord::digestOf(bytes);
    }
    file.written = RunRecord::digestOf(written);
    if (m_folder.isEmpty())
        createFolder();
    if (!file.keptAs.isEmpty())
        writeInFolder(file.keptAs, bytes);
    m_record.files.push_back(file);
    writeInFolder(RunRecord::FileName, m_record.toJson());
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
    writeInFolder(DatabaseFile, restoreStatements(m_record.rows));
    writeInFolder(RunRecord::FileName, m_record.toJson());
}

void BackupFolder::changed()
{
    m_changed = true;
}

void BackupFolder::createFolder()
{
    const QString backups = backupsFolderBehind(m_backups);
    createPrivateFolder(backups);
    for (const Run &run : runsIn(backups))
        m_record.sequence = std::max(m_record.sequence, run.record.sequence);
    ++m_record.sequence;
    // A later run of the same second gets " (2)", " (3)", …: the first name that nothing has taken.
    for (int run = 1;; ++run) {
        const QString name = run == 1 ? m_stamp : QStringLiteral("%1 (%2)").arg(m_stamp).arg(run);
        const QString folder = backups + QLatin1Char('/') + name;
        if (createPrivateFolder(folder)) {
            m_folder = folder;
            break;
        }
    }
    writeInFolder(RunRecord::FileName, m_record.toJson());
}

void BackupFolder::writeInFolder(const QString &relativePath, const QByteArray &bytes)
{
    QString path = m_folder;
    const QStringList names = relativePath.split(QLatin1Char('/'));
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        path += QLatin1Char('/') + names.at(i);
        if (!createPrivateFolder(path) && PathEntry::at(path).kind != PathEntry::Kind::Folder)
            failWith(path, QStringLiteral("This is %1, not a folder").arg(PathEntry::at(path).description()));
    }
    FileReplacement::replace(path + QLatin1Char('/') + names.last(), bytes, FileReplacement::IfMissing::Create);
}

std::vector<BackupFolder::Run> BackupFolder::runsIn(const QString &backups)
{
    std::vector<Run> runs;
    for (const QString &name : QDir(backups).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks | QDir::Hidden)) {
        const QString folder = backups + QLatin1Char('/') + name;
        if (std::optional<RunRecord> record = RunRecord::readFrom(folder))
            runs.push_back({folder, *record});
    }
    std::sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) { return a.record.sequence < b.record.sequence; });
    return runs;
}

void BackupFolder::finish()
{
    if (m_folder.isEmpty())
        return;
    m_record.state = RunRecord::State::Complete;
    removeOldRuns();
    try {
        writeInFolder(RunRecord::FileName, m_record.toJson());
    } catch (const Failure &) {
        // The run is complete and its backup whole; only the record still says it is running.
    }
}

void BackupFolder::removeOldRuns()
{
    const std::vector<Run> runs = runsIn(QFileInfo(m_folder).absolutePath());
    // The newest KeptRuns stay, and the first: the installation as it was before the tool first changed it.
    QStringList notRemoved;
    for (size_t i = 1; i + KeptRuns < runs.size(); ++i) {
        if (runs[i].folder != m_folder && !QDir(runs[i].folder).removeRecursively())
            notRemoved.append(QDir::toNativeSeparators(runs[i].folder));
    }
    if (!notRemoved.isEmpty())
        m_record.note = QStringLiteral("These old backups could not be removed: ") + notRemoved.join(QStringLiteral(", "));
}

void BackupFolder::abandon()
{
    if (m_folder.isEmpty())
        return;
    if (!m_changed) {
        QDir(m_folder).removeRecursively();
        m_folder.clear();
        return;
    }
    m_record.state = RunRecord::State::Failed;
    try {
        writeInFolder(RunRecord::FileName, m_record.toJson());
    } catch (const Failure &) {
        // The copies are whole; only the record still says the run is going on.
    }
}
