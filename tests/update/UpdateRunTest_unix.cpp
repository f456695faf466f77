#include "UpdateRunTest.h"

#include "platform/InstallationLock.h"
#include "platform/ProgramPath.h"

#include <QFile>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

TEST_F(FileTargetRun, InstallationIsFreeAgainOnceTheRunHoldingItIsKilled)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t otherRun = ::fork();
    if (otherRun == 0) {
        const InstallationLock lock(fileSystemPath(m_tree.mud3Path()));
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    ASSERT_GT(otherRun, 0);
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    expectRefusedAsBusy();

    ::kill(otherRun, SIGKILL);
    ::waitpid(otherRun, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    const RunOutcome outcome = run();
    EXPECT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    expectTicks(TargetCount);
}

TEST_F(FileTargetRun, BackupFoldersAndFilesAreReadableByTheirOwnerOnly)
{
    // A server file that anyone may read is kept where only its owner can.
    ASSERT_TRUE(QFile::setPermissions(m_tree.filePath(4), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    writeBytes(m_tree.settingsPath(), OldSettings);
    ASSERT_TRUE(run().succeeded);

    const QString folder = onlyBackup(m_tree);
    EXPECT_EQ(fileMode(backups(m_tree)), 0700u);
    EXPECT_EQ(fileMode(folder), 0700u);
    EXPECT_EQ(fileMode(folder + QStringLiteral("/Mir3Server")), 0700u);
    EXPECT_EQ(fileMode(folder + QStringLiteral("/Mir3Server/DBSvr")), 0700u);
    EXPECT_EQ(fileMode(folder + QStringLiteral("/Setup")), 0700u);
    for (const QString &file : filesBelow(folder))
        EXPECT_EQ(fileMode(folder + QLatin1Char('/') + file), 0600u) << file.toStdString();
    EXPECT_EQ(fileMode(m_tree.filePath(4)), 0644u);
}
