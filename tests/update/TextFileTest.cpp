#include "support/InstallationTree.h"
#include "update/Failure.h"
#include "update/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class TextFileReplacement : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArrayLiteral("old\r\n"));
    }

    QString path() const { return m_folder.filePath(QStringLiteral("Config.ini")); }
    QStringList folderEntries() const { return QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_folder;
};

} // namespace

TEST_F(TextFileReplacement, WritesEveryLineWithCrLfInCodePage936)
{
    TextFile::writeLines(path(), {QStringLiteral("[转发设置]"), QString(), QStringLiteral("Port1 = 7201 ")}, TextFile::IfMissing::Fail);
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("[\xd7\xaa\xb7\xa2\xc9\xe8\xd6\xc3]\r\n\r\nPort1 = 7201 \r\n"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Config.ini")});
}

TEST_F(TextFileReplacement, MissingFileFailsAndNothingIsCreated)
{
    const QString missing = m_folder.filePath(QStringLiteral("Absent.ini"));
    try {
        TextFile::writeLines(missing, {QStringLiteral("x")}, TextFile::IfMissing::Fail);
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.cause(), missing + QStringLiteral(": No such file or directory"));
    }
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Config.ini")});
}

TEST_F(TextFileReplacement, UnencodableLineLeavesTheOldFileAsItWas)
{
    EXPECT_THROW(TextFile::writeLines(path(), {QStringLiteral("fine"), QStringLiteral("Caf\u00E9 \u00DF")}, TextFile::IfMissing::Fail),
                 Failure);
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("old\r\n"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Config.ini")});
}

#ifdef Q_OS_UNIX
TEST_F(TextFileReplacement, ReplacementKeepsThePermissionBitsOfTheOldFile)
{
    ASSERT_TRUE(QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    TextFile::writeLines(path(), {QStringLiteral("new")}, TextFile::IfMissing::Fail);
    EXPECT_EQ(fileMode(path()), 0644u);
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("new\r\n"));
}
#endif

TEST_F(TextFileReplacement, CreatesAMissingFileWhenAsked)
{
    const QString created = m_folder.filePath(QStringLiteral("Settings.ini"));
    TextFile::writeLines(created, {QStringLiteral("[Settings]")}, TextFile::IfMissing::Create);
    EXPECT_EQ(readFile(created), QByteArrayLiteral("[Settings]\r\n"));
}

TEST_F(TextFileReplacement, FolderThatDoesNotExistFails)
{
    const QString nowhere = m_folder.filePath(QStringLiteral("no/such/folder/Settings.ini"));
    EXPECT_THROW(TextFile::writeLines(nowhere, {QStringLiteral("x")}, TextFile::IfMissing::Create), Failure);
    EXPECT_FALSE(QFileInfo::exists(m_folder.filePath(QStringLiteral("no"))));
}
