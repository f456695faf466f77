// A write that the system cuts short part of the way through, as a disk filling up does. The file size limit
// cuts it the same way without needing a disk of its own.
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"
#include "support/InstallationTree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

class FileSizeLimit : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArrayLiteral("old\r\n"));
        file.close();
        // Beyond the limit a write fails with EFBIG instead of ending the process.
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &m_savedLimit), 0);
        struct rlimit limit = m_savedLimit;
        limit.rlim_cur = 4096;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }

    void TearDown() override
    {
        ::setrlimit(RLIMIT_FSIZE, &m_savedLimit);
        std::signal(SIGXFSZ, m_savedHandler);
    }

    QString path() const { return m_folder.filePath(QStringLiteral("GameGate.ini")); }

    QTemporaryDir m_folder;
    struct rlimit m_savedLimit {};
    void (*m_savedHandler)(int) = SIG_DFL;
};

} // namespace

TEST_F(FileSizeLimit, WriteCutShortNamesTheCauseAndKeepsTheOldFile)
{
    try {
        FileReplacement::replace(path(), CodePage::encodeLines({QString(3000, QLatin1Char('a')), QString(3000, QLatin1Char('b'))}), FileReplacement::IfMissing::Fail);
        ADD_FAILURE() << "the write did not fail";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.cause(), QLatin1Char('"') + path() + QStringLiteral("\": File too large"));
    }
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("old\r\n"));
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("GameGate.ini")});
}

TEST_F(FileSizeLimit, ContentUpToTheLimitIsWrittenWhole)
{
    const QString line(4094, QLatin1Char('c')); // with CR LF exactly the limit
    FileReplacement::replace(path(), CodePage::encodeLines({line}), FileReplacement::IfMissing::Fail);
    EXPECT_EQ(readFile(path()), line.toLatin1() + "\r\n");
}
