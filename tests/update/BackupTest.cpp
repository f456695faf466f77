#include "app/FormModel.h"
#include "faults/TreeState.h"
#include "support/InstallationTree.h"
#include "update/Backup.h"
#include "update/Failure.h"
#include "update/Module1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Settings.ini as an earlier run left it, with a Chinese server name in code page 936.
const QByteArray OldSettings = QByteArrayLiteral("[Settings]\r\nServerName=\xC1\xFA\xB3\xC7\r\nExternalIP=192.0.2.9\r\n"
                                                 "InternalIP=192.0.2.10\r\nSQLIP=127.0.0.1\r\nSQLPass=se'cret=1\r\n"
                                                 "Mud3Path=C:\\Mud3\\\r\nLGPort=7000\r\nSGPort=7100\r\nRG01Port=7200\r\nRG02Port=7300\r\n");

// Runs of the file targets over a temporary installation, whose settings file lies in the same folder.
class FileTargetBackup : public ::testing::Test {
protected:
    void SetUp() override
    {
        pointAtTestSystem(m_form, m_tree);
        for (int target = 0; target < FirstFileTarget; ++target)
            m_form.setTicked(target, false);
    }

    RunOutcome run() { return runUpdateOnLoopback(m_form, m_module, m_tree.settingsPath()); }

    QString backups() const { return Backup::backupsFolderOf(m_tree.settingsPath()); }
    QStringList backupFolders() const { return QDir(backups()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name); }

    // The one folder this run left; fails the test when there is not exactly one.
    QString onlyBackup() const
    {
        const QStringList folders = backupFolders();
        if (folders.size() != 1) {
            ADD_FAILURE() << "backup folders: " << folders.join(QStringLiteral(", ")).toStdString();
            return {};
        }
        return backups() + QLatin1Char('/') + folders.first();
    }

    static QString keptPath(int target) { return targetCaption(target).replace(QLatin1Char('\\'), QLatin1Char('/')); }

    // Backups beside the settings file of the form "2020-01-01 00-00-<second>".
    void makeOldBackups(int count)
    {
        for (int second = 0; second < count; ++second)
            ASSERT_TRUE(QDir().mkpath(backups() + QStringLiteral("/2020-01-01 00-00-%1").arg(second, 2, 10, QLatin1Char('0'))));
    }

    FormModel m_form;
    InstallationTree m_tree;
    Module1 m_module;
};

} // namespace

TEST_F(FileTargetBackup, KeepsEveryReplacedFileAndTheOldSettingsByteForByte)
{
    writeBytes(m_tree.settingsPath(), OldSettings);
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();

    const QString folder = onlyBackup();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d$")).match(QFileInfo(folder).fileName()).hasMatch())
        << folder.toStdString();
    EXPECT_EQ(filesBelow(folder), targetFiles(true));
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        EXPECT_EQ(readFile(folder + QLatin1Char('/') + keptPath(target)), InstallationTree::oldContent(target)) << "target " << target;
    EXPECT_EQ(readFile(folder + QStringLiteral("/Settings.ini")), OldSettings);
    EXPECT_NE(readFile(m_tree.settingsPath()), OldSettings);
}

#ifdef Q_OS_UNIX
TEST_F(FileTargetBackup, FoldersAndFilesAreReadableByTheirOwnerOnly)
{
    // A server file that anyone may read is kept where only its owner can.
    ASSERT_TRUE(QFile::setPermissions(m_tree.filePath(4), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    writeBytes(m_tree.settingsPath(), OldSettings);
    ASSERT_TRUE(run().succeeded);

    const QString folder = onlyBackup();
    EXPECT_EQ(fileMode(backups()), 0700u);
    EXPECT_EQ(fileMode(folder), 0700u);
    EXPECT_EQ(fileMode(folder + QStringLiteral("/Mir3Server")), 0700u);
    EXPECT_EQ(fileMode(folder + QStringLiteral("/Mir3Server/DBSvr")), 0700u);
    EXPECT_EQ(fileMode(folder + QStringLiteral("/Setup")), 0700u);
    for (const QString &file : filesBelow(folder))
        EXPECT_EQ(fileMode(folder + QLatin1Char('/') + file), 0600u) << file.toStdString();
    EXPECT_EQ(fileMode(m_tree.filePath(4)), 0644u);
}
#endif

TEST_F(FileTargetBackup, FailedRunKeepsExactlyWhatItReplacedBeforeTheFailure)
{
    writeBytes(m_tree.settingsPath(), OldSettings);
    ASSERT_TRUE(QFile::remove(m_tree.filePath(7)));
    ASSERT_FALSE(run().succeeded);

    const QString folder = onlyBackup();
    EXPECT_EQ(filesBelow(folder), (QStringList{keptPath(3), keptPath(4), keptPath(5), keptPath(6)}));
    for (int target = FirstFileTarget; target < 7; ++target)
        EXPECT_EQ(readFile(folder + QLatin1Char('/') + keptPath(target)), InstallationTree::oldContent(target)) << "target " << target;
}

TEST_F(FileTargetBackup, RunThatReplacesNothingLeavesNoBackup)
{
    // A wrong Mud3 path stops the run at its first file; a first run has no settings file to keep.
    m_form.setFieldText(Field::txtMud3Path, m_tree.mud3Path() + QStringLiteral("Nowhere"));
    ASSERT_FALSE(run().succeeded);
    EXPECT_FALSE(QFileInfo::exists(backups()));

    for (int target = FirstFileTarget; target < TargetCount; ++target)
        m_form.setTicked(target, false);
    ASSERT_TRUE(run().succeeded);
    EXPECT_FALSE(QFileInfo::exists(backups()));

    // The next run replaces the settings file that this one saved.
    const QByteArray saved = readFile(m_tree.settingsPath());
    ASSERT_TRUE(run().succeeded);
    EXPECT_EQ(filesBelow(onlyBackup()), QStringList{QStringLiteral("Settings.ini")});
    EXPECT_EQ(readFile(onlyBackup() + QStringLiteral("/Settings.ini")), saved);
}

TEST_F(FileTargetBackup, TwentyFirstRunRemovesTheOldestAndKeepsTwenty)
{
    makeOldBackups(20);
    ASSERT_TRUE(QDir().mkpath(backups() + QStringLiteral("/kept by hand")));
    ASSERT_TRUE(run().succeeded);

    const QStringList folders = backupFolders();
    ASSERT_EQ(folders.size(), 21); // twenty backups and the folder that is not one
    EXPECT_FALSE(folders.contains(QStringLiteral("2020-01-01 00-00-00")));
    EXPECT_EQ(folders.first(), QStringLiteral("2020-01-01 00-00-01"));
    EXPECT_TRUE(folders.contains(QStringLiteral("kept by hand")));
    EXPECT_EQ(filesBelow(backups() + QLatin1Char('/') + folders.at(19)), targetFiles(false));
}

TEST_F(FileTargetBackup, FailedRunRemovesNoOldBackup)
{
    makeOldBackups(20);
    ASSERT_TRUE(QFile::remove(m_tree.filePath(9)));
    ASSERT_FALSE(run().succeeded);
    EXPECT_EQ(backupFolders().size(), 21);
}

TEST(Backup, RunsStartedInTheSameSecondGetTheirOwnFoldersAndTheOldestGoFirst)
{
    QTemporaryDir folder;
    const QString settingsPath = folder.filePath(QStringLiteral("Settings.ini"));
    writeBytes(settingsPath, OldSettings);
    const QDateTime second(QDate(2026, 12, 7), QTime(11, 30, 5));
    QStringList kept;
    for (int run = 1; run <= Backup::KeptFolders + 2; ++run) {
        Backup backup(settingsPath, second);
        backup.keepSettings();
        kept << QFileInfo(backup.folder()).fileName();
        backup.removeOldFolders();
    }
    EXPECT_EQ(kept.at(0), QStringLiteral("2026-12-07 11-30-05"));
    EXPECT_EQ(kept.at(1), QStringLiteral("2026-12-07 11-30-05 (2)"));
    EXPECT_EQ(kept.at(21), QStringLiteral("2026-12-07 11-30-05 (22)"));
    // The two oldest are gone: a tenth run of a second is newer than its second.
    QStringList expected = kept.mid(2);
    expected.sort();
    QStringList left = QDir(Backup::backupsFolderOf(settingsPath)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, expected);
}

TEST(Backup, BackupsThatCannotBeCreatedFailNamingThePath)
{
    QTemporaryDir folder;
    const QString settingsPath = folder.filePath(QStringLiteral("Settings.ini"));
    writeBytes(settingsPath, OldSettings);
    writeBytes(Backup::backupsFolderOf(settingsPath), "a file where the backups belong");
    Backup backup(settingsPath);
    try {
        backup.keepSettings();
        ADD_FAILURE() << "kept the settings where no folder can be made";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.cause().startsWith(Backup::backupsFolderOf(settingsPath) + QStringLiteral(": "))) << failure.cause().toStdString();
    }
}
