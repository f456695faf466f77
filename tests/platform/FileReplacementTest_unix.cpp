#include "FileReplacementTest.h"

#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <acl/libacl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

QString causeOfReplacing(const QString &path)
{
    try {
        FileReplacement::replace(path, CodePage::encodeLines({QStringLiteral("new")}), FileReplacement::IfMissing::Fail);
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

} // namespace

TEST_F(TextFileReplacement, ReplacementKeepsThePermissionBitsOfTheOldFile)
{
    ASSERT_TRUE(QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    FileReplacement::replace(path(), CodePage::encodeLines({QStringLiteral("new")}), FileReplacement::IfMissing::Fail);
    EXPECT_EQ(fileMode(path()), 0644u);
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("new\r\n"));
}

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

    FileReplacement::replace(path(), CodePage::encodeLines({QStringLiteral("new")}), FileReplacement::IfMissing::Fail);

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

    FileReplacement::replace(path(), CodePage::encodeLines({QStringLiteral("GameDBPasswd=secret")}), FileReplacement::IfMissing::Fail);

    EXPECT_EQ(aclOf(path()), aclBefore);
    EXPECT_EQ(fileMode(path()), modeBefore);
    char value[16] = {};
    EXPECT_EQ(::getxattr(name.constData(), "user.mud3.origin", value, sizeof value), 4);
    EXPECT_STREQ(value, "tree");
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("GameDBPasswd=secret\r\n"));
}

// A folder on the way that is a symbolic link is followed only when this user or root made it: a link of
// another user's leads no write into a folder of someone else's.
TEST_F(TextFileReplacement, AFolderLinkOfAnotherUserOnTheWayIsNotFollowed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "Giving a link to another user takes root";
    QTemporaryDir elsewhere;
    const QString link = m_folder.filePath(QStringLiteral("LoginGate"));
    ASSERT_TRUE(QFile::link(elsewhere.path(), link));
    const QString through = link + QStringLiteral("/Config.ini");
    QFile target(elsewhere.filePath(QStringLiteral("Config.ini")));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly) && target.write("old\r\n") == 5);
    target.close();

    FileReplacement::replace(through, CodePage::encodeLines({QStringLiteral("own link")}), FileReplacement::IfMissing::Fail);
    EXPECT_EQ(readFile(target.fileName()), QByteArrayLiteral("own link\r\n"));

    ASSERT_EQ(::lchown(QFile::encodeName(link).constData(), 65534, 65534), 0);
    EXPECT_TRUE(causeOfReplacing(through).contains(QStringLiteral("\"LoginGate\" on the way to it is a symbolic link that another user made")))
        << causeOfReplacing(through).toStdString();
    EXPECT_EQ(readFile(target.fileName()), QByteArrayLiteral("own link\r\n"));
}
