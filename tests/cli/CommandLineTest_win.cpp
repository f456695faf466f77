#include "database/AccountTables.h"
#include "model/Settings.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"
#include "update/BackupFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <qt_windows.h>

// The Windows tests run in a network of their own as a whole (scripts/windows/test.sh).
QStringList withoutNetwork(const QString &program, const QStringList &arguments)
{
    return QStringList{program} + arguments;
}

// From cmd in a console of its own, as an administrator types it: the tool joins that console, writes
// where cmd redirects it, and cmd hands on its exit code.
TEST(CommandLineInAConsole, RestoresARunAndSetsTheExitCode)
{
    TestDatabase::execute(AccountTables::create());
    InstallationTree tree;
    FormValues fields;
    pointAtTestSystem(fields, tree);
    AccountTables::setNewValues(fields);
    Settings::save(fields, tree.settingsPath());
    const QString tool = QDir::toNativeSeparators(TestDatabase::toolExecutable());
    const QString settings = QDir::toNativeSeparators(tree.settingsPath());
    ASSERT_EQ(QProcess::execute(tool, {QStringLiteral("--apply"), QStringLiteral("--settings"), settings}), 0);
    QStringList runs = QDir(BackupFolder::backupsFolderOf(tree.settingsPath())).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    runs.removeAll(BackupFolder::OriginalsFolder);
    ASSERT_EQ(runs.size(), 1);

    QTemporaryDir work;
    const QString output = QDir::toNativeSeparators(work.filePath(QStringLiteral("restore.txt")));
    QProcess cmd;
    cmd.setProgram(QStringLiteral("cmd.exe"));
    cmd.setNativeArguments(QStringLiteral("/c \"\"%1\" --restore \"%2\" --settings \"%3\" > \"%4\"\"").arg(tool, runs.first(), settings, output));
    cmd.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *arguments) { arguments->flags |= CREATE_NEW_CONSOLE; });
    cmd.start();
    ASSERT_TRUE(cmd.waitForFinished(60000));

    EXPECT_EQ(cmd.exitCode(), 0);
    QFile written(output);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("Setup\\Plus_Setup.ini: put back"));
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        EXPECT_EQ(tree.read(target), InstallationTree::oldContent(target)) << target;
    EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), QStringLiteral("TBL_SERVERINFO")),
              AccountTables::initialRows(QStringLiteral("TBL_SERVERINFO")));
    TestDatabase::execute(AccountTables::drop());
}
