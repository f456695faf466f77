#include "FileReplacementTest.h"

#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"

#include <gtest/gtest.h>
#include <qt_windows.h>
#include <thread>

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
    FileReplacement::replace(path(), CodePage::encodeLines({QStringLiteral("new")}), FileReplacement::IfMissing::Fail);
    letGo.join();
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("new\r\n"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Config.ini")});
}

TEST_F(TextFileReplacement, FileHeldOpenThroughoutFailsNamingItAndStaysAsItWas)
{
    const HANDLE held = holdOpen(path());
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    try {
        FileReplacement::replace(path(), CodePage::encodeLines({QStringLiteral("new")}), FileReplacement::IfMissing::Fail);
        ADD_FAILURE() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.cause().startsWith(QLatin1Char('"') + QDir::toNativeSeparators(path()) + QStringLiteral("\": ")))
            << failure.cause().toStdString();
        EXPECT_GT(failure.cause().size(), path().size() + 4) << "no cause";
    }
    CloseHandle(held);
    EXPECT_EQ(readFile(path()), QByteArrayLiteral("old\r\n"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Config.ini")});
}
