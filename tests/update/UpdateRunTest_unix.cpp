#include "UpdateRunTest.h"

#include "platform/InstallationLock.h"
#include "platform/PathEntry.h"
#include "platform/ProgramPath.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
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

// What lies at a target's path, or at Settings.ini, is looked at before anything is opened or written: a
// link is replaced, never followed, and kept as a note of where it pointed; a pipe, a device or an oversized
// file stops the run at once, before anything is written; Settings.ini is written through a link only where
// link and file are the runner's.
TEST_F(FileTargetRun, WhatLiesAtAPathIsLookedAtBeforeAnythingIsOpened)
{
    const auto sparseFile = [](const QString &path, qint64 size) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(size));
    };
    QTemporaryDir elsewhere;
    // Another user's file: root gives one away; an ordinary user meets the system's.
    const QString foreign = ::geteuid() == 0 ? elsewhere.filePath(QStringLiteral("foreign.ini")) : QStringLiteral("/etc/hostname");
    if (::geteuid() == 0) {
        writeBytes(foreign, "[Settings]\r\n");
        ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
    }
    const QByteArray foreignBefore = readFile(foreign);
    struct Case {
        const char *what;
        int target; // -1: Settings.ini
        std::function<void(const QString &path)> put;
        QString cause; // how the cause ends; empty when the run succeeds
    };
    const Case cases[] = {
        {"a named pipe", 5, [](const QString &path) { ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); },
         QStringLiteral("This is a named pipe, not a file; nothing was written")},
        {"a link to a device", 5, [](const QString &path) { ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path)); }, {}},
        {"a link to a folder", 9, [&](const QString &path) { ASSERT_TRUE(QFile::link(elsewhere.path(), path)); }, {}},
        {"a file larger than any server file", 7, [&](const QString &path) { sparseFile(path, MaxFileSize + 1); },
         QStringLiteral("The file holds 67108865 bytes, more than the 67108864 that any file of the tool can hold; it was not read")},
        {"a named pipe for Settings.ini", -1, [](const QString &path) { ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); },
         QStringLiteral("This is a named pipe, not a file; nothing was written")},
        {"a huge Settings.ini", -1, [&](const QString &path) { sparseFile(path, qint64(300) << 20); },
         QStringLiteral("The file holds 314572800 bytes, more than the 67108864 that any file of the tool can hold; it was not read")},
        {"Settings.ini leading to another user's file", -1, [&](const QString &path) { ASSERT_TRUE(QFile::link(foreign, path)); },
         QStringLiteral(", which does not lead to a file of the user running the tool, so nothing was written through it")},
    };
    ::alarm(60); // opening a pipe waits for its other end: a hang ends the test instead
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        InstallationTree tree;
        FormValues form;
        pointAtTestSystem(form, tree);
        for (int target = 0; target < FirstFileTarget; ++target)
            form.setTicked(target, false);
        const QString path = c.target < 0 ? tree.settingsPath() : tree.filePath(c.target);
        QFile::remove(path);
        c.put(path);
        const QString linkedTo = QFileInfo(path).symLinkTarget();

        const RunOutcome outcome = runUpdateOnLoopback(form, m_module, tree.settingsPath());

        EXPECT_EQ(outcome.succeeded, c.cause.isEmpty()) << outcome.cause.toStdString();
        if (c.cause.isEmpty()) {
            // The link itself was replaced; a note of it is kept, never what it points to.
            EXPECT_TRUE(QFileInfo(path).isFile() && !QFileInfo(path).isSymLink());
            const std::optional<RunRecord> record = RunRecord::readFrom(onlyBackup(tree));
            ASSERT_TRUE(record);
            const RunRecord::File &kept = record->files.at(size_t(c.target - FirstFileTarget));
            EXPECT_EQ(kept.linkTarget, linkedTo);
            EXPECT_TRUE(kept.keptAs.isEmpty());
            EXPECT_EQ(filesBelow(onlyBackup(tree)).size(), 12); // eleven files and the record
            continue;
        }
        EXPECT_TRUE(outcome.cause.startsWith(QLatin1Char('"') + path + QStringLiteral("\": "))) << outcome.cause.toStdString();
        EXPECT_TRUE(outcome.cause.endsWith(c.cause)) << outcome.cause.toStdString();
        for (int target = FirstFileTarget; target < TargetCount; ++target) {
            EXPECT_TRUE(form.isTicked(target));
            if (target != c.target) {
                EXPECT_EQ(tree.read(target), InstallationTree::oldContent(target)) << "target " << target;
            }
        }
        EXPECT_FALSE(QFileInfo::exists(backups(tree)));
    }
    ::alarm(0);
    EXPECT_EQ(readFile(foreign), foreignBefore);
}
