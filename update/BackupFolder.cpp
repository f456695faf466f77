#include "update/BackupFolder.h"

#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>
#include <tuple>
#include <vector>

namespace {

const QString DatabaseFile = QStringLiteral("database.txt");
const QString SettingsFile = QStringLiteral("Settings.ini");
const QString StampFormat = QStringLiteral("yyyy-MM-dd HH-mm-ss");

// A backup folder's name: the run's start, then " (2)", " (3)" … for later runs that started in the same second.
const QRegularExpression FolderName(QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d)(?: \\((\\d+)\\))?$"));

[[noreturn]] void failWith(const QString &path, const QString &cause)
{
    throw Failure(causeAt(path, cause));
}

// Creates a folder that only its owner can enter; false when it exists already.
bool createPrivateFolder(const QString &path)
{
    if (QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return true;
    const QString cause = qt_error_string();
    if (QFileInfo(path).isDir())
        return false;
    failWith(path, cause);
}

// The value as a literal of the statement that puts it back; the server converts the text to the column's type.
QString sqlLiteral(const QSqlRecord &row, int index)
{
    if (row.isNull(index))
        return QStringLiteral("NULL");
    QString text = row.value(index).toString();
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

} // namespace

BackupFolder::BackupFolder(const QString &settingsPath, const QDateTime &startedAt)
    : m_settingsPath(settingsPath)
    , m_backups(backupsFolderOf(settingsPath))
    , m_stamp(QLocale::c().toString(startedAt, StampFormat))
{
}

QString BackupFolder::backupsFolderOf(const QString &settingsPath)
{
    return QFileInfo(settingsPath).absolutePath() + QStringLiteral("/Backups");
}

void BackupFolder::keepFile(const QString &caption, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!file.exists())
            return; // nothing to lose; replacing it fails by itself where that is a fault
        failWith(path, file.errorString());
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        failWith(path, file.errorString());
    write(QString(caption).replace(QLatin1Char('\\'), QLatin1Char('/')), bytes);
}

void BackupFolder::keepSettings()
{
    keepFile(SettingsFile, m_settingsPath);
}

void BackupFolder::keepRow(const QString &table, const RowUpdate &rowUpdate, const QSqlRecord &row)
{
    QStringList statements = m_restoreStatements;
    for (const RowUpdate::Assignment &assignment : rowUpdate.assignments) {
        const QString column = QLatin1String(assignment.column);
        const int index = row.indexOf(column);
        if (index >= 0) {
            statements << QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + column + QStringLiteral(" = ")
                    + sqlLiteral(row, index) + QLatin1String(rowUpdate.condition) + QLatin1Char(';');
        }
    }
    if (statements.size() == m_restoreStatements.size())
        return;
    if (m_folder.isEmpty())
        createFolder();
    QByteArray bytes;
    try {
        bytes = CodePage::encodeLines(statements);
    } catch (const Failure &failure) {
        failWith(m_folder + QLatin1Char('/') + DatabaseFile, failure.cause());
    }
    write(DatabaseFile, bytes);
    m_restoreStatements = statements;
}

void BackupFolder::createFolder()
{
    createPrivateFolder(m_backups);
    // After the newest folder of the same second, never in a gap that removing old folders left: names order the backups.
    int run = 1;
    for (const Found &found : backupFolders()) {
        if (found.stamp == m_stamp)
            run = std::max(run, found.run + 1);
    }
    for (;; ++run) {
        const QString name = run == 1 ? m_stamp : QStringLiteral("%1 (%2)").arg(m_stamp).arg(run);
        const QString folder = m_backups + QLatin1Char('/') + name;
        if (createPrivateFolder(folder)) {
            m_folder = folder;
            return;
        }
    }
}

void BackupFolder::write(const QString &relativePath, const QByteArray &bytes)
{
    if (m_folder.isEmpty())
        createFolder();
    QString path = m_folder;
    const QStringList names = relativePath.split(QLatin1Char('/'));
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        path += QLatin1Char('/') + names.at(i);
        createPrivateFolder(path);
    }
    FileReplacement::replace(path + QLatin1Char('/') + names.last(), bytes, FileReplacement::IfMissing::Create);
}

std::vector<BackupFolder::Found> BackupFolder::backupFolders() const
{
    std::vector<Found> folders;
    for (const QString &name : QDir(m_backups).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        const QRegularExpressionMatch match = FolderName.match(name);
        if (match.hasMatch())
            folders.push_back({match.captured(1), match.captured(2).isEmpty() ? 1 : match.captured(2).toInt(), name});
    }
    return folders;
}

void BackupFolder::finish()
{
    std::vector<Found> folders = backupFolders();
    std::sort(folders.begin(), folders.end(),
              [](const Found &a, const Found &b) { return std::tie(a.stamp, a.run) > std::tie(b.stamp, b.run); });
    for (size_t i = KeptFolders; i < folders.size(); ++i) {
        const QString path = m_backups + QLatin1Char('/') + folders[i].name;
        // A clock set back makes this run's folder look old; it is the one backup that must stay.
        if (path != m_folder && !QDir(path).removeRecursively())
            failWith(path, QStringLiteral("The run is complete, but this old backup cannot be removed"));
    }
}
