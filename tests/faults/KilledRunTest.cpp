// A run killed at an arbitrary moment, as by a power cut or the task manager.
#include "TreeState.h"

#include "database/Module1.h"
#include "model/FormValues.h"
#include "support/InstallationTree.h"
#include "update/BackupFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <iostream>
#include <random>

#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::atomic<bool> slowFileWrites{false};
std::atomic<int> slowPieces{0};

} // namespace

// In the child, every write to a file goes out in pieces of 64 bytes with a pause after each, like a slow disk,
// so that kills land inside writes and not only between them: a file written in place would show half-written.
// This definition takes the place of the C library's for every caller in the process, Qt included.
extern "C" ssize_t write(int handle, const void *data, size_t size)
{
    using Write = ssize_t (*)(int, const void *, size_t);
    static const Write next = reinterpret_cast<Write>(::dlsym(RTLD_NEXT, "write"));
    struct stat status {};
    if (!slowFileWrites || ::fstat(handle, &status) != 0 || !S_ISREG(status.st_mode))
        return next(handle, data, size);
    size_t written = 0;
    while (written < size) {
        const ssize_t piece = next(handle, static_cast<const char *>(data) + written, std::min<size_t>(64, size - written));
        if (piece < 0)
            return written > 0 ? ssize_t(written) : piece;
        written += size_t(piece);
        ++slowPieces;
        ::usleep(50);
    }
    return ssize_t(written);
}

namespace {

constexpr int Iterations = 60;
const QByteArray OldSettings = QByteArrayLiteral("[Settings]\r\nServerName=Before the killed run\r\n");

FormValues formFor(const InstallationTree &tree)
{
    FormValues form;
    pointAtTestSystem(form, tree);
    form.setFieldText(Field::txtServerName, QStringLiteral("龙城 killed"));
    form.setFieldText(Field::txtExternalIP, QStringLiteral("198.51.100.77"));
    for (int target = 0; target < FirstFileTarget; ++target)
        form.setTicked(target, false);
    return form;
}

// Forking is safe only while this process has no other thread that could hold a lock the child needs.
int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// Runs the update in a child process; killed after `delay` unless negative. Returns the wait status.
int runInChild(const InstallationTree &tree, std::chrono::microseconds delay)
{
    const pid_t child = ::fork();
    if (child == 0) {
        slowFileWrites = true;
        FormValues form = formFor(tree);
        Module1 module;
        const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
        // _exit: the child must not run the parent's destructors, which would remove the tree.
        ::_exit(outcome.succeeded ? 0 : 1);
    }
    if (child < 0) {
        ADD_FAILURE() << "cannot fork";
        return -1;
    }
    if (delay.count() >= 0) {
        ::usleep(useconds_t(delay.count()));
        ::kill(child, SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

void restoreOldState(const InstallationTree &tree)
{
    const QString folder = QFileInfo(tree.settingsPath()).absolutePath();
    for (const QString &file : filesBelow(folder))
        QFile::remove(folder + QLatin1Char('/') + file);
    QDir(BackupFolder::backupsFolderOf(tree.settingsPath())).removeRecursively();
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        writeBytes(tree.filePath(target), InstallationTree::oldContent(target));
    writeBytes(tree.settingsPath(), OldSettings);
}

// What a file of the tree held before the run, by its path relative to the tree.
QByteArray oldContentOf(const QString &file)
{
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        if (targetCaption(target).replace(QLatin1Char('\\'), QLatin1Char('/')) == file)
            return InstallationTree::oldContent(target);
    }
    return OldSettings;
}

} // namespace

// Each file is replaced by a rename, so a kill leaves every target with its old or its complete new content,
// and since the targets are written in order, the new ones are always the first ones. A kill may leave the
// temporary file of the replacement in progress beside its target, under the target's name, the tool's mark
// and six characters: a harmless leftover, readable by the runner only, that no server process reads and that
// the next run removes.
TEST(KilledRun, EveryTargetHoldsItsOldOrItsCompleteNewContent)
{
    ASSERT_EQ(threadCount(), 1);
    InstallationTree tree;
    const QString folder = QFileInfo(tree.settingsPath()).absolutePath();

    // The slow writes must reach Qt's file writes, or the kills would hardly ever land inside one.
    slowFileWrites = true;
    writeBytes(tree.settingsPath(), QByteArray(640, 's'));
    slowFileWrites = false;
    ASSERT_EQ(slowPieces, 10);

    // One undisturbed run gives the new content of every file and how long a run takes.
    restoreOldState(tree);
    QElapsedTimer timer;
    timer.start();
    ASSERT_EQ(runInChild(tree, std::chrono::microseconds(-1)), 0);
    const qint64 runMicroseconds = timer.nsecsElapsed() / 1000;
    std::array<QByteArray, TargetCount> newContent;
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        newContent[size_t(target)] = tree.read(target);
        ASSERT_NE(newContent[size_t(target)], InstallationTree::oldContent(target)) << "target " << target;
        ASSERT_EQ(newContent[size_t(target)], completeContent(formFor(tree), target)) << "target " << target;
    }
    const QByteArray newSettings = readFile(tree.settingsPath());
    ASSERT_TRUE(newSettings.startsWith("[Settings]\r\nServerName=")) << newSettings.toStdString();
    ASSERT_NE(newSettings, OldSettings);
    ASSERT_EQ(filesBelow(folder), targetFiles(true));

    std::random_device seeder;
    const unsigned seed = seeder();
    SCOPED_TRACE(testing::Message() << "random seed " << seed << ", undisturbed run " << runMicroseconds << " µs");
    std::mt19937 random(seed);
    std::uniform_int_distribution<qint64> delays(0, runMicroseconds);
    const QRegularExpression leftover(QStringLiteral("^(.+)\\.Mud3IPSetup-[A-Za-z0-9]{6}$"));

    int killedHalfWay = 0;
    int leftovers = 0;
    for (int iteration = 0; iteration < Iterations && !HasFailure(); ++iteration) {
        restoreOldState(tree);
        const std::chrono::microseconds delay(delays(random));
        const int status = runInChild(tree, delay);
        SCOPED_TRACE(testing::Message() << "iteration " << iteration << ", killed after " << delay.count() << " µs");
        ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << "the run failed by itself";

        int newTargets = 0;
        for (int target = FirstFileTarget; target < TargetCount; ++target) {
            const QByteArray content = tree.read(target);
            if (content == newContent[size_t(target)]) {
                EXPECT_EQ(newTargets, target - FirstFileTarget) << "target " << target << " replaced before an earlier one";
                ++newTargets;
            } else {
                EXPECT_EQ(content, InstallationTree::oldContent(target)) << "target " << target << " is neither old nor new";
            }
        }
        const QByteArray settings = readFile(tree.settingsPath());
        if (settings == newSettings)
            EXPECT_EQ(newTargets, TargetCount - FirstFileTarget) << "settings saved before the last target";
        else
            EXPECT_EQ(settings, OldSettings) << "Settings.ini is neither old nor new";
        if (newTargets > 0 && newTargets < TargetCount - FirstFileTarget)
            ++killedHalfWay;

        for (const QString &file : filesBelow(folder)) {
            if (targetFiles(true).contains(file))
                continue;
            const QRegularExpressionMatch match = leftover.match(file);
            EXPECT_TRUE(match.hasMatch() && targetFiles(true).contains(match.captured(1))) << "unexpected file " << file.toStdString();
            ++leftovers;
        }
        // The backup and the originals are written the same way: each copy holds the whole old content of its file.
        const QString backups = BackupFolder::backupsFolderOf(tree.settingsPath());
        QStringList runs = QDir(backups).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        runs.removeAll(BackupFolder::OriginalsFolder);
        for (const QString &store : QDir(backups + QLatin1Char('/') + BackupFolder::OriginalsFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            runs.append(BackupFolder::OriginalsFolder + QLatin1Char('/') + store);
        for (const QString &run : runs) {
            const QStringList kept = targetFiles(true) << RunRecord::FileName;
            for (const QString &file : filesBelow(backups + QLatin1Char('/') + run)) {
                if (file == RunRecord::FileName)
                    continue;
                if (!kept.contains(file)) {
                    const QRegularExpressionMatch match = leftover.match(file);
                    EXPECT_TRUE(match.hasMatch() && kept.contains(match.captured(1))) << "unexpected backup " << file.toStdString();
                    ++leftovers;
                    continue;
                }
                EXPECT_EQ(readFile(backups + QLatin1Char('/') + run + QLatin1Char('/') + file), oldContentOf(file)) << "backup " << file.toStdString();
            }
        }
    }
    // Kills that all land before the first or after the last file would prove nothing.
    EXPECT_GT(killedHalfWay, 0) << "no kill landed between two files";
    std::cout << killedHalfWay << " of " << Iterations << " runs killed between their first and last file, " << leftovers
              << " temporary files left behind\n";
}
