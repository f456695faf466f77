#include "PreviewFileTargetTest.h"

#include "model/FormValues.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"
#include "platform/ProgramPath.h"
#include "preview/Preview.h"
#include "support/InstallationTree.h"
#include "update/FileTarget.h"

#include <QFile>
#include <gtest/gtest.h>

TEST_F(FilePreview, ChangedFileShowsWhatTheRunWouldWriteAsAUnifiedDiff)
{
    const TargetPreview shown = preview(3);
    const QString path = m_tree.filePath(3);
    EXPECT_EQ(shown.outcome, TargetPreview::Outcome::Changes);
    EXPECT_EQ(shown.heading(), QStringLiteral("Mir3Server\\DBSvr\\!ServerInfo.txt: changes"));
    EXPECT_EQ(joined(shown.lines), QStringLiteral("--- ") + path + QStringLiteral("\n+++ ") + path
                                       + QStringLiteral(" (after the run)\n"
                                                        "@@ -1 +1 @@\n"
                                                        "-old content of target 3\n"
                                                        "+127.0.0.1,203.0.113.24:7201,203.0.113.24:7202"));
    EXPECT_EQ(m_tree.read(3), InstallationTree::oldContent(3));
}

TEST_F(FilePreview, FileHoldingWhatTheRunWouldWriteIsUnchanged)
{
    putIntoTree(3, defaultFile(3));
    const TargetPreview shown = preview(3);
    EXPECT_EQ(shown.outcome, TargetPreview::Outcome::Unchanged);
    EXPECT_EQ(shown.heading(), QStringLiteral("Mir3Server\\DBSvr\\!ServerInfo.txt: unchanged"));
    EXPECT_EQ(shown.lines, QStringList{QStringLiteral("    ") + m_tree.filePath(3)});
}

TEST_F(FilePreview, OneEditedLineOfPlusSetupShowsWithItsContext)
{
    QByteArray edited = defaultFile(14);
    // Line 100, the "Mac" of the block before [237WearAdd].
    const qsizetype line100 = edited.indexOf("Mac = 0\r\nHP = 0\r\nMP = 0\r\n[237WearAdd]");
    ASSERT_GT(line100, 0);
    edited.replace(line100, 9, "Mac = 5\r\n");
    putIntoTree(14, edited);

    const TargetPreview shown = preview(14);
    ASSERT_EQ(shown.lines.size(), 2 + 9);
    EXPECT_EQ(joined(shown.lines.mid(2)), QStringLiteral("@@ -97,7 +97,7 @@\n"
                                                         " Mc = 0\n"
                                                         " Sc = 0\n"
                                                         " Ac = 0\n"
                                                         "-Mac = 5\n"
                                                         "+Mac = 0\n"
                                                         " HP = 0\n"
                                                         " MP = 0\n"
                                                         " [237WearAdd]"));
}

TEST_F(FilePreview, WholeNewPlusSetupIsListedLineByLine)
{
    const TargetPreview shown = preview(14);
    ASSERT_EQ(shown.lines.size(), 2 + 1 + 1 + 206);
    EXPECT_EQ(shown.lines.at(2), QStringLiteral("@@ -1 +1,206 @@"));
    EXPECT_EQ(shown.lines.at(3), QStringLiteral("-old content of target 14"));
    EXPECT_EQ(shown.lines.at(4), QStringLiteral("+[PlusConnect]"));
    EXPECT_EQ(shown.lines.at(5), QStringLiteral("+SQLIP=192.168.0.24"));
    EXPECT_EQ(shown.lines.at(4 + 8 - 1), QStringLiteral("+服务器启动时间=2009-12-29 21:54:23"));
    EXPECT_EQ(shown.lines.last(), QStringLiteral("+MP = 0"));
}

TEST_F(FilePreview, BothSidesAreReadInTheServerCodePage)
{
    // The first line of the file holds another section name, in code page 936.
    QByteArray edited = defaultFile(9);
    ASSERT_TRUE(edited.startsWith(QByteArray::fromHex("5bb7e2cde2b9d2c9e8d6c35d0d0a")));
    edited.replace(0, 12, QByteArray::fromHex("5bd7aab7a2c9e8d6c35d"));
    putIntoTree(9, edited);

    EXPECT_EQ(joined(preview(9).lines.mid(2)), QStringLiteral("@@ -1,4 +1,4 @@\n"
                                                              "-[转发设置]\n"
                                                              "+[封外挂设置]\n"
                                                              " CheckSpeed1 = 1200\n"
                                                              " CheckSpeed2 = 300\n"
                                                              " CheckSpeed3 = 4"));
}

TEST_F(FilePreview, MissingFileNamesTheCauseTheRunWouldMeet)
{
    ASSERT_TRUE(QFile::remove(m_tree.filePath(7)));
    const TargetPreview shown = preview(7);
    EXPECT_EQ(shown.outcome, TargetPreview::Outcome::Fails);
    EXPECT_EQ(shown.heading(), QStringLiteral("Mir3Server\\KLoginSvr\\Logsrv.ini: would fail"));
    ASSERT_EQ(shown.lines.size(), 1);
    EXPECT_TRUE(shown.lines.first().startsWith(QStringLiteral("    fails: \"") + m_tree.filePath(7) + QStringLiteral("\": ")))
        << shown.lines.first().toStdString();
    EXPECT_FALSE(QFile::exists(m_tree.filePath(7)));

    // The very cause with which the run's replacement of the file stops.
    try {
        FileReplacement::replace(m_tree.filePath(7), FileTarget::content(7, m_form), FileReplacement::IfMissing::Fail);
        ADD_FAILURE() << "the replacement did not fail";
    } catch (const Failure &failure) {
        EXPECT_EQ(shown.lines, QStringList{QStringLiteral("    fails: ") + failure.cause()});
    }
}

TEST_F(FilePreview, CharacterTheCodePageLacksIsNamed)
{
    m_form.setFieldText(Field::txtServerName, QStringLiteral("Server ß"));
    const TargetPreview shown = preview(4);
    EXPECT_EQ(shown.outcome, TargetPreview::Outcome::Fails);
    EXPECT_EQ(shown.lines, QStringList{QStringLiteral("    fails: The character \"ß\" (U+00DF) cannot be written in code page 936")});
    EXPECT_EQ(m_tree.read(4), InstallationTree::oldContent(4));
}

