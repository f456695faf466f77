// A file system that runs out of space while a file is being written. The cases run on the 64 KiB tmpfs that
// on-a-small-disk.sh mounts for this program alone; tmpfs hands out space in whole pages.
#include "TreeState.h"

#include "database/Module1.h"
#include "model/FormValues.h"
#include "model/Settings.h"
#include "platform/Failure.h"
#include "support/InstallationTree.h"
#include "update/BackupFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cerrno>
#include <optional>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr qint64 PageSize = 4096;
const QByteArray OldSettings = QByteArrayLiteral("[Settings]\r\nServerName=Before the full disk\r\n");

qint64 freePages(const QString &folder)
{
    struct statvfs status {};
    if (::statvfs(QFile::encodeName(folder).constData(), &status) != 0)
        return -1;
    return qint64(status.f_bavail) * qint64(status.f_frsize) / PageSize;
}

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_disk = qEnvironmentVariable("MUD3_SMALL_DISK");
        if (m_disk.isEmpty())
            GTEST_SKIP() << "No small file system to fill: "
                         << qEnvironmentVariable("MUD3_SMALL_DISK_UNAVAILABLE",
                                                 QStringLiteral("run this program through on-a-small-disk.sh"))
                                .toStdString();
        m_offTheDisk.emplace();
        // The installation tree makes its folder below TMPDIR: here, on the small file system.
        m_savedTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_disk));
        m_tree.emplace();
        ASSERT_TRUE(m_tree->mud3Path().startsWith(m_disk)) << m_tree->mud3Path().toStdString();
        pointAtTestSystem(m_form, *m_tree);
        for (int target = 0; target < FirstFileTarget; ++target)
            m_form.setTicked(target, false);
        writeBytes(m_tree->settingsPath(), OldSettings);
    }

    void TearDown() override
    {
        if (m_disk.isEmpty())
            return;
        m_tree.reset();
        QFile::remove(fillerPath());
        qputenv("TMPDIR", m_savedTemp);
    }

    // The backups of the runs on a folder of the large file system, so that the targets alone fill the small one.
    void keepBackupsOffTheDisk()
    {
        ASSERT_TRUE(QFile::link(m_offTheDisk->path(), BackupFolder::backupsFolderOf(m_tree->settingsPath())));
    }

    QString fillerPath() const { return m_disk + QStringLiteral("/filler"); }
    QString treeFolder() const { return QFileInfo(m_tree->settingsPath()).absolutePath(); }

    // Fills the file system with a file of its own until exactly `pages` pages are left.
    void fillLeaving(qint64 pages)
    {
        const int handle = ::open(QFile::encodeName(fillerPath()).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(handle, 0);
        const QByteArray page(PageSize, 'f');
        off_t size = 0;
        for (ssize_t written; (written = ::write(handle, page.constData(), size_t(page.size()))) > 0;)
            size += written;
        ASSERT_EQ(errno, ENOSPC);
        ASSERT_EQ(::ftruncate(handle, size - off_t(pages * PageSize)), 0);
        ::close(handle);
        ASSERT_EQ(freePages(m_disk), pages);
    }

    RunOutcome run() { return runUpdateOnLoopback(m_form, m_module, m_tree->settingsPath()); }

    QString m_disk;
    QByteArray m_savedTemp;
    std::optional<QTemporaryDir> m_offTheDisk;
    std::optional<InstallationTree> m_tree;
    FormValues m_form;
    Module1 m_module;
};

} // namespace

TEST_F(FullDisk, RunStopsAtTheFileThatNoLongerFitsAndKeepsItsOldContent)
{
    // A server name of 5000 characters makes the first file that carries it two pages long; every file before
    // it fits into the one page left, since its replacement frees the old file's page again.
    const int failing = firstTargetUsing(Field::txtServerName);
    ASSERT_GT(failing, FirstFileTarget);
    m_form.setFieldText(Field::txtServerName, QString(5000, QLatin1Char('N')));
    ASSERT_GT(completeContent(m_form, failing).size(), PageSize);
    for (int target = FirstFileTarget; target < failing; ++target)
        ASSERT_LE(completeContent(m_form, target).size(), PageSize) << "target " << target;
    keepBackupsOffTheDisk();
    fillLeaving(1);

    const RunOutcome outcome = run();

    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, failureMessageAt(failing));
    EXPECT_TRUE(outcome.cause.contains(QStringLiteral("No space left on device"))) << outcome.cause.toStdString();
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        EXPECT_EQ(m_form.isTicked(target), target >= failing) << "target " << target;
        EXPECT_EQ(m_tree->read(target), target < failing ? completeContent(m_form, target) : InstallationTree::oldContent(target))
            << "target " << target;
    }
    EXPECT_EQ(readFile(m_tree->settingsPath()), OldSettings);
    // The partly written temporary file is gone, and so is its space: no handle to it stayed open.
    EXPECT_EQ(filesBelow(treeFolder()), targetFiles(true));
    EXPECT_EQ(freePages(m_disk), 1);
}

TEST_F(FullDisk, BackupThatDoesNotFitFailsTheTargetBeforeItIsReplaced)
{
    fillLeaving(0);

    const RunOutcome outcome = run();

    EXPECT_EQ(outcome.message, failureMessageAt(FirstFileTarget));
    const QString backups = BackupFolder::backupsFolderOf(m_tree->settingsPath());
    EXPECT_TRUE(outcome.cause.startsWith(QLatin1Char('"') + backups + QLatin1Char('/'))) << outcome.cause.toStdString();
    EXPECT_TRUE(outcome.cause.contains(QStringLiteral("No space left on device"))) << outcome.cause.toStdString();
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        EXPECT_TRUE(m_form.isTicked(target)) << "target " << target;
        EXPECT_EQ(m_tree->read(target), InstallationTree::oldContent(target)) << "target " << target;
    }
    EXPECT_EQ(readFile(m_tree->settingsPath()), OldSettings);
    // Neither a partly written copy nor its space stays behind, nor a folder of a run that changed nothing.
    EXPECT_EQ(QDir(backups).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    EXPECT_EQ(freePages(m_disk), 0);
}

TEST_F(FullDisk, SettingsSaveOnAFullDiskFailsTheRunAndKeepsThePreviousSettings)
{
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        m_form.setTicked(target, false);
    fillLeaving(0);

    const RunOutcome outcome = run();

    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_TRUE(outcome.cause.contains(QStringLiteral("No space left on device"))) << outcome.cause.toStdString();
    EXPECT_EQ(readFile(m_tree->settingsPath()), OldSettings);
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        EXPECT_EQ(m_tree->read(target), InstallationTree::oldContent(target)) << "target " << target;
    EXPECT_EQ(filesBelow(treeFolder()), targetFiles(true));
    EXPECT_EQ(freePages(m_disk), 0);
}

TEST_F(FullDisk, SettingsSaveThatRunsOutHalfWayKeepsThePreviousSettings)
{
    m_form.setFieldText(Field::txtServerName, QString(6000, QLatin1Char('S')));
    fillLeaving(1);

    try {
        Settings::save(m_form, m_tree->settingsPath());
        ADD_FAILURE() << "the save did not fail";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.cause().contains(QStringLiteral("No space left on device"))) << failure.cause().toStdString();
    }
    EXPECT_EQ(readFile(m_tree->settingsPath()), OldSettings);
    EXPECT_EQ(filesBelow(treeFolder()), targetFiles(true));
    EXPECT_EQ(freePages(m_disk), 1);
}

TEST_F(FullDisk, FirstSettingsSaveOnAFullDiskCreatesNoFile)
{
    ASSERT_TRUE(QFile::remove(m_tree->settingsPath()));
    fillLeaving(0);

    EXPECT_THROW(Settings::save(m_form, m_tree->settingsPath()), Failure);

    EXPECT_FALSE(QFileInfo::exists(m_tree->settingsPath()));
    EXPECT_EQ(filesBelow(treeFolder()), targetFiles(false));
}
