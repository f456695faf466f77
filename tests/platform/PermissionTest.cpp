// Run as an ordinary user: root passes every permission check of the file system.
#include "database/Module1.h"
#include "model/FormValues.h"
#include "support/InstallationTree.h"
#include "update/BackupFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class PermissionFault : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(::geteuid(), 0u) << "permission faults cannot be seen as root";
        pointAtTestSystem(m_form, m_tree);
        for (int target = 0; target < FirstFileTarget; ++target)
            m_form.setTicked(target, false);
    }

    RunOutcome run() { return runUpdateOnLoopback(m_form, m_module, m_tree.settingsPath()); }

    // Found before the run wrote anything: every target keeps its tick and its old file.
    void expectNothingDone()
    {
        for (int target = FirstFileTarget; target < TargetCount; ++target) {
            EXPECT_TRUE(m_form.isTicked(target)) << "target " << target;
            EXPECT_EQ(m_tree.read(target), InstallationTree::oldContent(target)) << "target " << target;
        }
        EXPECT_FALSE(QFileInfo::exists(m_tree.settingsPath()));
        EXPECT_FALSE(QFileInfo::exists(BackupFolder::backupsFolderOf(m_tree.settingsPath())));
    }

    FormValues m_form;
    InstallationTree m_tree;
    Module1 m_module;
};

} // namespace

TEST_F(PermissionFault, ReadOnlyFileFailsItsTargetAndStaysAsItWas)
{
    ASSERT_TRUE(QFile::setPermissions(m_tree.filePath(6), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const RunOutcome outcome = run();
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataMir3Server\\KLoginSvr\\!ServerAddr.txt"));
    EXPECT_TRUE(outcome.cause.endsWith(QStringLiteral("Permission denied"))) << outcome.cause.toStdString();
    expectNothingDone();
}

TEST_F(PermissionFault, FolderThatIsNotWritableFailsAndLeavesNoTemporaryFile)
{
    const QString folder = QFileInfo(m_tree.filePath(11)).absolutePath();
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const RunOutcome outcome = run();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataMir3Server\\SelGate\\SelGate.ini"));
    EXPECT_FALSE(outcome.cause.isEmpty());
    expectNothingDone();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("SelGate.ini")});
}

TEST_F(PermissionFault, ReadOnlySettingsFileFailsTheSaveAndKeepsTheOldSettings)
{
    QFile settings(m_tree.settingsPath());
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Settings]\r\nServerName=Kept\r\n");
    settings.close();
    ASSERT_TRUE(QFile::setPermissions(m_tree.settingsPath(), QFile::ReadOwner));

    const RunOutcome outcome = run();

    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataSetup\\Plus_Setup.ini"));
    EXPECT_TRUE(outcome.cause.endsWith(QStringLiteral("Permission denied"))) << outcome.cause.toStdString();
    EXPECT_EQ(readFile(m_tree.settingsPath()), QByteArrayLiteral("[Settings]\r\nServerName=Kept\r\n"));
}

TEST_F(PermissionFault, BackupFolderThatCannotBeWrittenFailsTheTargetBeforeItIsReplaced)
{
    const QString backups = BackupFolder::backupsFolderOf(m_tree.settingsPath());
    ASSERT_TRUE(QDir().mkdir(backups));
    ASSERT_TRUE(QFile::setPermissions(backups, QFile::ReadOwner | QFile::ExeOwner));
    const RunOutcome outcome = run();
    QFile::setPermissions(backups, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_TRUE(outcome.cause.startsWith(QLatin1Char('"') + backups + QStringLiteral("\": This folder cannot be written ("))) << outcome.cause.toStdString();
    EXPECT_TRUE(outcome.cause.contains(QStringLiteral("Permission denied"))) << outcome.cause.toStdString();
    EXPECT_TRUE(QDir(backups).isEmpty());
}

TEST_F(PermissionFault, FileThatCannotBeReadForItsBackupIsNotReplaced)
{
    ASSERT_TRUE(QFile::setPermissions(m_tree.filePath(8), QFile::WriteOwner));
    const RunOutcome outcome = run();
    QFile::setPermissions(m_tree.filePath(8), QFile::ReadOwner | QFile::WriteOwner);

    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataMir3Server\\LoginGate\\Config.ini"));
    EXPECT_TRUE(outcome.cause.startsWith(QLatin1Char('"') + m_tree.filePath(8) + QStringLiteral("\": "))) << outcome.cause.toStdString();
    expectNothingDone();
}
