#include "app/FormModel.h"
#include "support/InstallationTree.h"
#include "update/DbConnection.h"
#include "update/Module1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

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
    EXPECT_TRUE(outcome.cause.endsWith(QStringLiteral(": No such file or directory"))) << outcome.cause.toStdString();
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
    ASSERT_TRUE(QDir().mkdir(m_tree.settingsPath())); // a folder cannot be replaced by the settings file
    const RunOutcome outcome = run();
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
