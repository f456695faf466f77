#pragma once

#include "database/Module1.h"
#include "faults/TreeState.h"
#include "model/FormValues.h"
#include "platform/ProgramPath.h"
#include "support/InstallationTree.h"
#include "update/BackupFolder.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

// A run over a temporary installation and the test database; the database targets are left to their own tests.
class FileTargetRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        pointAtTestSystem(m_form, m_tree);
        for (int target = 0; target < FirstFileTarget; ++target)
            m_form.setTicked(target, false);
    }

    RunOutcome run() { return runUpdateOnLoopback(m_form, m_module, m_tree.settingsPath()); }

    void expectTicks(int firstStillTicked)
    {
        for (int target = FirstFileTarget; target < TargetCount; ++target)
            EXPECT_EQ(m_form.isTicked(target), target >= firstStillTicked) << "target " << target;
    }

    void expectOldContentFrom(int target)
    {
        for (; target < TargetCount; ++target)
            EXPECT_EQ(m_tree.read(target), InstallationTree::oldContent(target)) << "target " << target;
    }

    // Another run holds the installation: this one stops before the database and writes nothing.
    void expectRefusedAsBusy()
    {
        const RunOutcome outcome = run();
        EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
        EXPECT_EQ(outcome.cause, QLatin1Char('"') + QDir::toNativeSeparators(fileSystemPath(m_tree.mud3Path()))
                                     + QStringLiteral("\": Another update run is working on this installation, so this run "
                                                      "wrote nothing; try again when it has ended"));
        expectTicks(FirstFileTarget);
        expectOldContentFrom(FirstFileTarget);
        EXPECT_FALSE(QFileInfo::exists(m_tree.settingsPath()));
        EXPECT_NE(m_module.dbConnection.state(), DbConnection::State::Open);
    }

    FormValues m_form;
    InstallationTree m_tree;
    Module1 m_module;
};

// Settings.ini as an earlier run left it, with a Chinese server name in code page 936.
inline const QByteArray OldSettings = QByteArrayLiteral("[Settings]\r\nServerName=\xC1\xFA\xB3\xC7\r\nExternalIP=192.0.2.9\r\n"
                                                        "InternalIP=192.0.2.10\r\nSQLIP=127.0.0.1\r\nSQLPass=se'cret=1\r\n"
                                                        "Mud3Path=C:\\Mud3\\\r\nLGPort=7000\r\nSGPort=7100\r\nRG01Port=7200\r\nRG02Port=7300\r\n");

inline QString backups(const InstallationTree &tree)
{
    return BackupFolder::backupsFolderOf(tree.settingsPath());
}

// The run folders, the originals left out.
inline QStringList backupFolders(const InstallationTree &tree)
{
    QStringList folders = QDir(backups(tree)).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    folders.removeAll(BackupFolder::OriginalsFolder);
    return folders;
}

// The one backup folder beside the tree's settings; fails the test when there is not exactly one.
inline QString onlyBackup(const InstallationTree &tree)
{
    const QStringList folders = backupFolders(tree);
    if (folders.size() != 1) {
        ADD_FAILURE() << "backup folders: " << folders.join(QStringLiteral(", ")).toStdString();
        return {};
    }
    return backups(tree) + QLatin1Char('/') + folders.first();
}

// Where a backup keeps the file of target i.
inline QString keptPath(int target)
{
    return targetCaption(target).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

// Backups of earlier runs, named "2020-01-01 00-00-<second>", each with the record of a run of the tool.
inline void makeOldBackups(const InstallationTree &tree, int count)
{
    for (int second = 0; second < count; ++second) {
        const QString folder = backups(tree) + QStringLiteral("/2020-01-01 00-00-%1").arg(second, 2, 10, QLatin1Char('0'));
        ASSERT_TRUE(QDir().mkpath(folder));
        RunRecord record;
        record.sequence = second + 1;
        record.state = RunRecord::State::Complete;
        writeBytes(folder + QLatin1Char('/') + RunRecord::FileName, record.toJson());
    }
}
