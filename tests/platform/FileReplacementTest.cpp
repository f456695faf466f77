#include "FileReplacementTest.h"

#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

TEST_F(TextFileReplacement, WritesEveryLineWithCrLfInCodePage936)
{
    FileReplacement::replace(path(), CodePage::encodeLines({QStringLiteral("[转发设置]"), QString(), QStringLiteral("Port1 = 7201 ")}), FileReplacement::IfMissing::Fail);
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("[\xd7\xaa\xb7\xa2\xc9\xe8\xd6\xc3]\r\n\r\nPort1 = 7201 \r\n"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Config.ini")});
}

TEST_F(TextFileReplacement, MissingFileFailsAndNothingIsCreated)
{
    const QString missing = m_folder.filePath(QStringLiteral("Absent.ini"));
    try {
        FileReplacement::replace(missing, CodePage::encodeLines({QStringLiteral("x")}), FileReplacement::IfMissing::Fail);
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.cause(), QLatin1Char('"') + missing + QStringLiteral("\": No such file or directory"));
    }
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Config.ini")});
}

TEST_F(TextFileReplacement, UnencodableLineLeavesTheOldFileAsItWas)
{
    EXPECT_THROW(FileReplacement::replace(path(), CodePage::encodeLines({QStringLiteral("fine"), QStringLiteral("Caf\u00E9 \u00DF")}), FileReplacement::IfMissing::Fail),
                 Failure);
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("old\r\n"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Config.ini")});
}


TEST_F(TextFileReplacement, CreatesAMissingFileWhenAsked)
{
    const QString created = m_folder.filePath(QStringLiteral("Settings.ini"));
    FileReplacement::replace(created, CodePage::encodeLines({QStringLiteral("[Settings]")}), FileReplacement::IfMissing::Create);
    EXPECT_EQ(readFile(created), QByteArrayLiteral("[Settings]\r\n"));
}

TEST_F(TextFileReplacement, FolderThatDoesNotExistFails)
{
    const QString nowhere = m_folder.filePath(QStringLiteral("no/such/folder/Settings.ini"));
    EXPECT_THROW(FileReplacement::replace(nowhere, CodePage::encodeLines({QStringLiteral("x")}), FileReplacement::IfMissing::Create), Failure);
    EXPECT_FALSE(QFileInfo::exists(m_folder.filePath(QStringLiteral("no"))));
}
