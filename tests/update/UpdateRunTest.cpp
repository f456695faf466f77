#include "UpdateRunTest.h"

#include "database/DbConnection.h"
#include "database/Module1.h"
#include "faults/TreeState.h"
#include "model/FormValues.h"
#include "platform/InstallationLock.h"
#include "platform/ProgramPath.h"
#include "support/InstallationTree.h"
#include "update/BackupFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST_F(FileTargetRun, SuccessfulRunClearsEveryTickWritesEveryFileAndSavesSettings)
{
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.message.toStdString() << ": " << outcome.cause.toStdString();
    expectTicks(TargetCount);
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        EXPECT_NE(m_tree.read(target), InstallationTree::oldContent(target)) << "target " << target;
        EXPECT_TRUE(m_tree.read(target).endsWith("\r\n")) << "target " << target;
    }
    EXPECT_TRUE(readFile(m_tree.settingsPath()).startsWith("[Settings]\r\nServerName=Morrowtide\r\n"));
    EXPECT_EQ(m_module.dbConnection.state(), DbConnection::State::Absent);
}

// Found before anything is written, so that no installation is left half-configured.
TEST_F(FileTargetRun, MissingFileStopsTheRunBeforeItWritesAnything)
{
    ASSERT_TRUE(QFile::remove(m_tree.filePath(5)));

    const RunOutcome outcome = run();

    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataMir3Server\\KLoginSvr\\!AddrTable.txt"));
    EXPECT_EQ(outcome.cause, QLatin1Char('"') + m_tree.filePath(5) + QStringLiteral("\": No such file or directory"));
    expectTicks(FirstFileTarget);
    EXPECT_FALSE(QFileInfo::exists(m_tree.filePath(5)));
    EXPECT_EQ(m_tree.read(4), InstallationTree::oldContent(4));
    expectOldContentFrom(6);
    EXPECT_FALSE(QFileInfo::exists(m_tree.settingsPath()));
    EXPECT_NE(m_module.dbConnection.state(), DbConnection::State::Open);
}

TEST_F(FileTargetRun, WrongMud3PathIsNamedByTheFirstFileTarget)
{
    m_form.setFieldText(Field::txtMud3Path, m_tree.mud3Path() + QStringLiteral("Nowhere"));
    const RunOutcome outcome = run();
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataMir3Server\\DBSvr\\!ServerInfo.txtCannot be Found, Check Mud 3 Path"));
    EXPECT_EQ(m_form.fieldText(Field::txtMud3Path), m_tree.mud3Path() + QStringLiteral("Nowhere\\"));
    expectTicks(FirstFileTarget);
    expectOldContentFrom(FirstFileTarget);
}

TEST_F(FileTargetRun, CharacterOutsideTheCodePageFailsItsTargetAndKeepsTheOldFile)
{
    // The server name first reaches a file in target 4.
    m_form.setFieldText(Field::txtServerName, QStringLiteral("Stra\u00DFe"));
    const RunOutcome outcome = run();
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataMir3Server\\DBSvr\\Setup.ini"));
    EXPECT_EQ(outcome.cause, QStringLiteral("The character \"\u00DF\" (U+00DF) cannot be written in code page 936"));
    expectTicks(FirstFileTarget);
    expectOldContentFrom(FirstFileTarget);
    EXPECT_FALSE(QFileInfo::exists(m_tree.settingsPath()));
}

TEST_F(FileTargetRun, UntickedTargetsAreLeftAloneAndTheRunStillSavesTheSettings)
{
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        m_form.setTicked(target, false);
    m_form.setFieldText(Field::txtMud3Path, m_tree.mud3Path().chopped(1));

    const RunOutcome outcome = run();

    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    expectOldContentFrom(FirstFileTarget);
    EXPECT_EQ(m_form.fieldText(Field::txtMud3Path), m_tree.mud3Path());
    EXPECT_TRUE(readFile(m_tree.settingsPath()).contains("\r\nMud3Path=" + m_tree.mud3Path().toUtf8() + "\r\n"));
    EXPECT_EQ(m_module.dbConnection.state(), DbConnection::State::Absent);
}

TEST_F(FileTargetRun, EmptyMud3PathBecomesABackslash)
{
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        m_form.setTicked(target, false);
    m_form.setFieldText(Field::txtMud3Path, QString());
    ASSERT_TRUE(run().succeeded);
    EXPECT_EQ(m_form.fieldText(Field::txtMud3Path), QStringLiteral("\\"));
}

TEST_F(FileTargetRun, SettingsThatCannotBeSavedCarryTheContextOfTheLastTarget)
{
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        m_form.setTicked(target, target == 9);
    ASSERT_TRUE(QDir().mkdir(m_tree.settingsPath())); // a folder cannot be replaced by the settings file
    const RunOutcome outcome = run();
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataMir3Server\\RunGate01\\GameGate.ini"));
    EXPECT_TRUE(m_form.isTicked(9));
    expectOldContentFrom(FirstFileTarget);
}

TEST_F(FileTargetRun, SecondPressAfterTheCauseIsPutRightDoesEveryTarget)
{
    const QString path = m_tree.filePath(7);
    ASSERT_TRUE(QFile::rename(path, path + QStringLiteral(".away")));
    ASSERT_FALSE(run().succeeded);
    expectTicks(FirstFileTarget);

    ASSERT_TRUE(QFile::rename(path + QStringLiteral(".away"), path));
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    expectTicks(TargetCount);
    EXPECT_NE(m_tree.read(3), InstallationTree::oldContent(3));
}

TEST_F(FileTargetRun, SecondRunOverTheSameInstallationIsRefusedAtOnce)
{
    {
        // The same installation, spelled another way: the lock is the folder's, not the text's.
        const InstallationLock otherRun(fileSystemPath(m_tree.mud3Path()) + QStringLiteral("Setup/.."));
        expectRefusedAsBusy();
    }
    const RunOutcome outcome = run();
    EXPECT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
}

// Without an installation there is nothing to lock; the database targets of such a run still go through.
TEST_F(FileTargetRun, Mud3PathThatDoesNotExistStillLetsARunWithoutFileTargetsThrough)
{
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        m_form.setTicked(target, false);
    m_form.setFieldText(Field::txtMud3Path, m_tree.mud3Path() + QStringLiteral("Nowhere\\"));
    const RunOutcome outcome = run();
    EXPECT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
}

// A double-clicked program starts in its own folder, but one started from elsewhere must find the same files.
TEST_F(FileTargetRun, RelativeMud3PathStartsFromTheProgramsFolderWhateverTheCurrentFolder)
{
    int argc = 1;
    char name[] = "update_run_test";
    char *argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    const QString relative = QDir(QCoreApplication::applicationDirPath()).relativeFilePath(fileSystemPath(m_tree.mud3Path()));
    m_form.setFieldText(Field::txtMud3Path, QDir::toNativeSeparators(relative).replace(QLatin1Char('/'), QLatin1Char('\\')));
    const QString startFolder = QDir::currentPath();
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));

    const RunOutcome outcome = run();
    QDir::setCurrent(startFolder);

    EXPECT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    expectTicks(TargetCount);
    EXPECT_NE(m_tree.read(3), InstallationTree::oldContent(3));
}

TEST(ConnectionFailure, UnreachableDatabaseEndsTheRunBeforeAnyTarget)
{
    InstallationTree tree;
    FormValues form;
    pointAtTestSystem(form, tree);
    form.setFieldText(Field::txtSQLPass, QStringLiteral("not the password"));
    Module1 module;

    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());

    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_FALSE(outcome.cause.isEmpty());
    for (int target = 0; target < TargetCount; ++target)
        EXPECT_TRUE(form.isTicked(target)) << "target " << target;
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        EXPECT_EQ(tree.read(target), InstallationTree::oldContent(target));
    EXPECT_FALSE(QFileInfo::exists(tree.settingsPath()));
    EXPECT_EQ(module.dbConnection.state(), DbConnection::State::Closed);
}

TEST_F(FileTargetRun, BackupKeepsEveryReplacedFileAndTheOldSettingsByteForByte)
{
    writeBytes(m_tree.settingsPath(), OldSettings);
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();

    const QString folder = onlyBackup(m_tree);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d$")).match(QFileInfo(folder).fileName()).hasMatch())
        << folder.toStdString();
    EXPECT_EQ(filesBelow(folder), targetFiles(true) << QStringLiteral("run.json"));
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        EXPECT_EQ(readFile(folder + QLatin1Char('/') + keptPath(target)), InstallationTree::oldContent(target)) << "target " << target;
    EXPECT_EQ(readFile(folder + QStringLiteral("/Settings.ini")), OldSettings);
    EXPECT_NE(readFile(m_tree.settingsPath()), OldSettings);
}

TEST_F(FileTargetRun, RunStoppedByACheckLeavesNoBackup)
{
    writeBytes(m_tree.settingsPath(), OldSettings);
    ASSERT_TRUE(QFile::remove(m_tree.filePath(7)));
    ASSERT_FALSE(run().succeeded);
    EXPECT_FALSE(QFileInfo::exists(backups(m_tree)));
}

TEST_F(FileTargetRun, RunThatReplacesNothingLeavesNoBackup)
{
    // A wrong Mud3 path stops the run at its first file; a first run has no settings file to keep.
    m_form.setFieldText(Field::txtMud3Path, m_tree.mud3Path() + QStringLiteral("Nowhere"));
    ASSERT_FALSE(run().succeeded);
    EXPECT_FALSE(QFileInfo::exists(backups(m_tree)));

    for (int target = FirstFileTarget; target < TargetCount; ++target)
        m_form.setTicked(target, false);
    ASSERT_TRUE(run().succeeded);
    EXPECT_FALSE(QFileInfo::exists(backups(m_tree)));

    // The next run replaces the settings file that this one saved.
    const QByteArray saved = readFile(m_tree.settingsPath());
    ASSERT_TRUE(run().succeeded);
    EXPECT_EQ(filesBelow(onlyBackup(m_tree)), (QStringList{QStringLiteral("Settings.ini"), QStringLiteral("run.json")}));
    EXPECT_EQ(readFile(onlyBackup(m_tree) + QStringLiteral("/Settings.ini")), saved);
}

TEST_F(FileTargetRun, TwentySecondRunRemovesTheSecondOldestAndKeepsTheFirstAndTwenty)
{
    makeOldBackups(m_tree, 21);
    ASSERT_TRUE(QDir().mkpath(backups(m_tree) + QStringLiteral("/kept by hand")));
    ASSERT_TRUE(run().succeeded);

    const QStringList folders = backupFolders(m_tree);
    ASSERT_EQ(folders.size(), 22); // the first, the twenty newest and the folder that is no run
    EXPECT_EQ(folders.first(), QStringLiteral("2020-01-01 00-00-00"));
    EXPECT_FALSE(folders.contains(QStringLiteral("2020-01-01 00-00-01")));
    EXPECT_TRUE(folders.contains(QStringLiteral("kept by hand")));
    EXPECT_EQ(filesBelow(backups(m_tree) + QLatin1Char('/') + folders.at(20)), targetFiles(false) << QStringLiteral("run.json"));
}

TEST_F(FileTargetRun, FailedRunRemovesNoOldBackup)
{
    makeOldBackups(m_tree, 21);
    ASSERT_TRUE(QFile::remove(m_tree.filePath(9)));
    ASSERT_FALSE(run().succeeded);
    EXPECT_EQ(backupFolders(m_tree).size(), 21);
}
