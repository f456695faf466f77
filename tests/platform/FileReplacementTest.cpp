#include "support/InstallationTree.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <thread>
#else
#include <acl/libacl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

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

#ifdef Q_OS_UNIX
QString causeOfReplacing(const QString &path)
{
    try {
        TextFile::writeLines(path, {QStringLiteral("new")}, TextFile::IfMissing::Fail);
    } catch (const Failure &failure) {
        return failure.cause();
    }
    return QStringLiteral("no failure");
}

QString aclOf(const QString &path)
{
    const acl_t acl = ::acl_get_file(QFile::encodeName(path).constData(), ACL_TYPE_ACCESS);
    char *text = ::acl_to_any_text(acl, nullptr, ',', 0);
    const QString result = QString::fromLatin1(text);
    ::acl_free(text);
    ::acl_free(acl);
    return result;
}
#endif

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
        EXPECT_EQ(failure.cause(), QLatin1Char('"') + missing + QStringLiteral("\": No such file or directory"));
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

#ifdef Q_OS_UNIX
TEST_F(TextFileReplacement, SymbolicLinkIsReplacedByAFileAndWhatItPointsToIsLeftAlone)
{
    QTemporaryDir outside;
    const QString rootOnly = outside.filePath(QStringLiteral("shadow"));
    QFile file(rootOnly);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("secret\n");
    file.close();
    ASSERT_TRUE(QFile::setPermissions(rootOnly, QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(QFile::remove(path()));
    ASSERT_TRUE(QFile::link(rootOnly, path()));

    TextFile::writeLines(path(), {QStringLiteral("new")}, TextFile::IfMissing::Fail);

    EXPECT_FALSE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("new\r\n"));
    EXPECT_EQ(fileMode(path()), 0600u);
    EXPECT_EQ(readFile(rootOnly), QByteArrayLiteral("secret\n"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Config.ini")});
}

TEST_F(TextFileReplacement, PipeOrFolderInPlaceOfTheFileFailsAtOnce)
{
    ::alarm(20); // opening a pipe for writing would wait for a reader: a hang ends the test instead
    const QString pipe = m_folder.filePath(QStringLiteral("GameGate.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(causeOfReplacing(pipe), QLatin1Char('"') + pipe + QStringLiteral("\": This is a named pipe, not a file; nothing was written"));

    const QString folder = m_folder.filePath(QStringLiteral("SelGate.ini"));
    ASSERT_TRUE(QDir().mkdir(folder));
    EXPECT_EQ(causeOfReplacing(folder), QLatin1Char('"') + folder + QStringLiteral("\": This is a folder, not a file; nothing was written"));
    ::alarm(0);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              (QStringList{QStringLiteral("Config.ini"), QStringLiteral("GameGate.ini")}));
}

// The owning group's bits of a file with an ACL are the mask: carried over as plain bits, they would open the
// file to the whole group.
TEST_F(TextFileReplacement, AclAndExtendedAttributesAreKept)
{
    const QByteArray name = QFile::encodeName(path());
    const acl_t acl = ::acl_from_text("u::rw-,u:nobody:r--,g::---,m::r--,o::---");
    ASSERT_EQ(::acl_set_file(name.constData(), ACL_TYPE_ACCESS, acl), 0);
    ::acl_free(acl);
    ASSERT_EQ(::setxattr(name.constData(), "user.mud3.origin", "tree", 4, 0), 0);
    const QString aclBefore = aclOf(path());
    const unsigned modeBefore = fileMode(path());

    TextFile::writeLines(path(), {QStringLiteral("GameDBPasswd=secret")}, TextFile::IfMissing::Fail);

    EXPECT_EQ(aclOf(path()), aclBefore);
    EXPECT_EQ(fileMode(path()), modeBefore);
    char value[16] = {};
    EXPECT_EQ(::getxattr(name.constData(), "user.mud3.origin", value, sizeof value), 4);
    EXPECT_STREQ(value, "tree");
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("GameDBPasswd=secret\r\n"));
}
#endif

#ifdef Q_OS_WIN
namespace {

// The file opened the way many programs open one they only read: others may read and write it, but not
// delete or rename it, so that it cannot be replaced while the handle is open.
HANDLE holdOpen(const QString &path)
{
    return CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

TEST_F(TextFileReplacement, FileHeldOpenForAMomentIsReplacedOnceItIsLetGo)
{
    const HANDLE held = holdOpen(path());
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread letGo([held] {
        Sleep(500);
        CloseHandle(held);
    });
    TextFile::writeLines(path(), {QStringLiteral("new")}, TextFile::IfMissing::Fail);
    letGo.join();
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("new\r\n"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Config.ini")});
}

TEST_F(TextFileReplacement, FileHeldOpenThroughoutFailsNamingItAndStaysAsItWas)
{
    const HANDLE held = holdOpen(path());
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    try {
        TextFile::writeLines(path(), {QStringLiteral("new")}, TextFile::IfMissing::Fail);
        ADD_FAILURE() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.cause().startsWith(QLatin1Char('"') + path() + QStringLiteral("\": "))) << failure.cause().toStdString();
        EXPECT_GT(failure.cause().size(), path().size() + 4) << "no cause";
    }
    CloseHandle(held);
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("old\r\n"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Config.ini")});
}
#endif
