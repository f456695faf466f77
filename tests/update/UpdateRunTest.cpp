#include "app/FormModel.h"
#include "support/InstallationTree.h"
#include "update/DbConnection.h"
#include "update/FileSystemPath.h"
#include "update/InstallationLock.h"
#include "update/Module1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

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
        EXPECT_EQ(outcome.cause, QLatin1Char('"') + fileSystemPath(m_tree.mud3Path())
                                     + QStringLiteral("\": Another update run is working on this installation, so this run "
                                                      "wrote nothing; try again when it has ended"));
        expectTicks(FirstFileTarget);
        expectOldContentFrom(FirstFileTarget);
        EXPECT_FALSE(QFileInfo::exists(m_tree.settingsPath()));
        EXPECT_NE(m_module.dbConnection.state(), DbConnection::State::Open);
    }

    FormModel m_form;
    InstallationTree m_tree;
    Module1 m_module;
};

} // namespace

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

TEST_F(FileTargetRun, MissingFileStopsRunAndKeepsLaterTicks)
{
    ASSERT_TRUE(QFile::remove(m_tree.filePath(5)));

    const RunOutcome outcome = run();

    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataMir3Server\\KLoginSvr\\!AddrTable.txt"));
    EXPECT_EQ(outcome.cause, QLatin1Char('"') + m_tree.filePath(5) + QStringLiteral("\": No such file or directory"));
    expectTicks(5);
    EXPECT_FALSE(QFileInfo::exists(m_tree.filePath(5)));
    EXPECT_NE(m_tree.read(4), InstallationTree::oldContent(4));
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
    expectTicks(4);
    expectOldContentFrom(4);
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

TEST_F(FileTargetRun, FailedSettingsSaveCarriesTheContextOfTheLastTargetDone)
{
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        m_form.setTicked(target, target == 9);
    const RunOutcome outcome = runUpdateOnLoopback(m_form, m_module, m_tree.filePath(9) + QStringLiteral("/Settings.ini"));
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading DataMir3Server\\RunGate01\\GameGate.ini"));
    EXPECT_FALSE(m_form.isTicked(9));
}

TEST_F(FileTargetRun, SecondPressRedoesOnlyWhatWasLeft)
{
    const QString path = m_tree.filePath(7);
    ASSERT_TRUE(QFile::rename(path, path + QStringLiteral(".away")));
    ASSERT_FALSE(run().succeeded);
    expectTicks(7);

    ASSERT_TRUE(QFile::rename(path + QStringLiteral(".away"), path));
    QFile::remove(m_tree.filePath(3)); // done before: a second run must not touch it again
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.cause.toStdString();
    expectTicks(TargetCount);
    EXPECT_FALSE(QFileInfo::exists(m_tree.filePath(3)));
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

#ifdef Q_OS_UNIX
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
#endif

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
    FormModel form;
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
