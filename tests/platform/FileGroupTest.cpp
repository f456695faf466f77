// A run by an ordinary user over files whose group is not that user's own. The test sets the files up as
// root, then replaces them in a child process that runs as "nobody" with one supplementary group; the groups
// are bare numbers, so that nothing needs to be added to the system's user database.
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"
#include "support/InstallationTree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr gid_t MemberGroup = 54321;
constexpr gid_t ForeignGroup = 54322;

class FileGroup : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "setting up files of other groups needs root";
        const struct passwd *nobody = ::getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        m_nobody = nobody->pw_uid;
        m_nobodyGroup = nobody->pw_gid;
        ASSERT_EQ(::chown(QFile::encodeName(m_folder.path()).constData(), m_nobody, m_nobodyGroup), 0);
    }

    // A file of the given owner, group and mode holding "old".
    QString oldFile(uid_t owner, gid_t group, mode_t mode)
    {
        const QString path = m_folder.filePath(QStringLiteral("Setup.ini"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old\r\n");
        file.close();
        const QByteArray name = QFile::encodeName(path);
        EXPECT_EQ(::chown(name.constData(), owner, group), 0);
        EXPECT_EQ(::chmod(name.constData(), mode), 0);
        return path;
    }

    // Replaces path as "nobody", a member of MemberGroup only; the cause of its failure, or empty.
    QString replaceAsNobody(const QString &path)
    {
        int cause[2];
        EXPECT_EQ(::pipe(cause), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(cause[0]);
            const gid_t groups[] = {MemberGroup};
            if (::setgroups(1, groups) != 0 || ::setgid(m_nobodyGroup) != 0 || ::setuid(m_nobody) != 0)
                ::_exit(2);
            try {
                FileReplacement::replace(path, CodePage::encodeLines({QStringLiteral("new")}), FileReplacement::IfMissing::Fail);
            } catch (const Failure &failure) {
                const QByteArray text = failure.cause().toUtf8();
                (void)!::write(cause[1], text.constData(), size_t(text.size()));
            }
            ::_exit(0);
        }
        ::close(cause[1]);
        QFile reader;
        reader.open(cause[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
        const QString text = QString::fromUtf8(reader.readAll());
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child could not become nobody";
        return text;
    }

    static struct stat statusOf(const QString &path)
    {
        struct stat status {};
        ::stat(QFile::encodeName(path).constData(), &status);
        return status;
    }

    QTemporaryDir m_folder;
    uid_t m_nobody = 0;
    gid_t m_nobodyGroup = 0;
};

} // namespace

TEST_F(FileGroup, GroupTheRunnerBelongsToIsKept)
{
    const QString path = oldFile(0, MemberGroup, 0660);
    EXPECT_EQ(replaceAsNobody(path), QString());
    EXPECT_EQ(readFile(path), QByteArrayLiteral("new\r\n"));
    EXPECT_EQ(statusOf(path).st_gid, MemberGroup);
    EXPECT_EQ(statusOf(path).st_mode & 07777, 0660u);
}

// Given the runner's own group, the file would shut out the group that the server's account reads it through.
TEST_F(FileGroup, GroupTheRunnerMayNotGiveFailsAndTheFileStaysAsItWas)
{
    const QString path = oldFile(m_nobody, ForeignGroup, 0660);
    EXPECT_EQ(replaceAsNobody(path), QLatin1Char('"') + path
                                         + QStringLiteral("\": The file belongs to the group \"54322\", which this user is not "
                                                          "a member of: its replacement could not keep that group, so the file "
                                                          "was left as it was"));
    EXPECT_EQ(readFile(path), QByteArrayLiteral("old\r\n"));
    EXPECT_EQ(statusOf(path).st_gid, ForeignGroup);
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Setup.ini")});
}
