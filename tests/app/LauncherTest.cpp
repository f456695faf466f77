#include "app/Form1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// An xdg-open of our own, first on PATH: it records its working directory and arguments, one per line,
// then stays a while, like an opener that starts a program.
class FakeOpener : public testing::Test {
protected:
    void SetUp() override
    {
#ifdef Q_OS_WIN
        GTEST_SKIP() << "the desktop opener is the shell there";
#endif
        ASSERT_TRUE(bin.isValid() && records.isValid());
        QFile script(bin.filePath(QStringLiteral("xdg-open")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "{ pwd; for argument in \"$@\"; do printf '%s\\n' \"$argument\"; done; } > '%1.part'\n"
                                    "mv '%1.part' '%1'\n"
                                    "exec sleep 2 </dev/null >/dev/null 2>&1\n")
                         .arg(recordPath())
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setPath(bin.path() + QLatin1Char(':') + QString::fromLocal8Bit(originalPath));
    }

    void TearDown() override { qputenv("PATH", originalPath); }

    static void setPath(const QString &path) { qputenv("PATH", path.toLocal8Bit()); }

    QString recordPath() const { return records.filePath(QStringLiteral("opened")); }

    // The opener's working directory, then its arguments; empty when it never ran.
    QStringList record(int waitMs = 10000) const
    {
        QFile file(recordPath());
        QElapsedTimer waited;
        waited.start();
        while (!file.exists() && waited.elapsed() < waitMs)
            QTest::qWait(20);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // Presses the button and tells how long the press took.
    qint64 press(const char *button)
    {
        QElapsedTimer timer;
        timer.start();
        window.findChild<QPushButton *>(QString::fromLatin1(button))->click();
        return timer.elapsed();
    }

    const QByteArray originalPath = qgetenv("PATH");
    QTemporaryDir bin;
    QTemporaryDir records;
    QTemporaryDir settings;
    Form1 window{settings.filePath(QStringLiteral("Settings.ini"))};
};

} // namespace

TEST_F(FakeOpener, OdbcButtonOpensRegistrationFileBelowTheMud3PathAsTyped)
{
    window.setFieldText(Field::txtMud3Path, QStringLiteral("C:\\Mud3"));

    press("cmdRunODBC");

    // On this system "C:/Mud3" is a relative path: it starts from the program's folder, as in an update run.
    EXPECT_EQ(record(), (QStringList{QStringLiteral("/"), QCoreApplication::applicationDirPath() + QStringLiteral("/C:/Mud3Database/ODBC.reg")}));
    EXPECT_EQ(window.fieldText(Field::txtMud3Path), QStringLiteral("C:\\Mud3"));
}

TEST_F(FakeOpener, SetupEditorButtonReturnsWhileTheOpenerStillRuns)
{
    window.setFieldText(Field::txtMud3Path, QStringLiteral("/srv/Mud 3\\"));

    EXPECT_LT(press("cmdRunSetuptxt"), 1000);

    EXPECT_EQ(record(), (QStringList{QStringLiteral("/"), QStringLiteral("/srv/Mud 3/Setup/!Setup.txt Editor.exe")}));
}

TEST_F(FakeOpener, MissingOpenerIsSilent)
{
    QTemporaryDir emptyBin;
    setPath(emptyBin.path());
    const QString before = window.fieldText(Field::txtMud3Path);
    window.show();

    press("cmdRunODBC");
    press("cmdRunSetuptxt");
    QTest::qWait(200);

    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(record(0).isEmpty());
    EXPECT_EQ(window.fieldText(Field::txtMud3Path), before);
    EXPECT_TRUE(window.isTicked(0));
}

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>

namespace {

// What the tool asked Windows' shell to open. For the time of a test, ShellExecuteW's entry in the test
// program's import table leads to a recorder instead, so that nothing is started.
struct ShellRequest {
    HWND owner;
    QString file;
    QString folder;
};
QList<ShellRequest> shellRequests;

HINSTANCE WINAPI recordShellRequest(HWND owner, LPCWSTR, LPCWSTR file, LPCWSTR, LPCWSTR folder, INT)
{
    shellRequests.append({owner, QString::fromWCharArray(file), QString::fromWCharArray(folder)});
    return reinterpret_cast<HINSTANCE>(33); // above 32: started
}

ULONG_PTR shellExecute()
{
    return reinterpret_cast<ULONG_PTR>(GetProcAddress(GetModuleHandleW(L"shell32.dll"), "ShellExecuteW"));
}

// Points the import table entry that holds function `from` at `to`; false when the program imports no such function.
bool redirectImport(ULONG_PTR from, ULONG_PTR to)
{
    auto *const base = reinterpret_cast<BYTE *>(GetModuleHandleW(nullptr));
    const auto *const headers = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + reinterpret_cast<const IMAGE_DOS_HEADER *>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto *module = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress); module->Name; ++module) {
        for (auto *entry = reinterpret_cast<IMAGE_THUNK_DATA *>(base + module->FirstThunk); entry->u1.Function; ++entry) {
            if (entry->u1.Function != from)
                continue;
            DWORD protection = 0;
            VirtualProtect(&entry->u1.Function, sizeof entry->u1.Function, PAGE_READWRITE, &protection);
            entry->u1.Function = to;
            VirtualProtect(&entry->u1.Function, sizeof entry->u1.Function, protection, &protection);
            return true;
        }
    }
    return false;
}

class ShellLaunch : public testing::Test {
protected:
    void SetUp() override
    {
        shellRequests.clear();
        ASSERT_TRUE(redirectImport(shellExecute(), reinterpret_cast<ULONG_PTR>(&recordShellRequest)));
    }
    void TearDown() override { redirectImport(reinterpret_cast<ULONG_PTR>(&recordShellRequest), shellExecute()); }

    QTemporaryDir settings;
    Form1 window{settings.filePath(QStringLiteral("Settings.ini"))};
};

} // namespace

// Any box the shell shows about the file (no program for it, no such file) belongs to the tool's window.
TEST_F(ShellLaunch, ButtonsHandTheirFileToTheShellWithTheWindowAsOwnerAndTheDriveRootAsFolder)
{
    window.setFieldText(Field::txtMud3Path, QStringLiteral("C:\\Mud 3\\"));
    window.show();

    window.findChild<QPushButton *>(QStringLiteral("cmdRunODBC"))->click();
    window.findChild<QPushButton *>(QStringLiteral("cmdRunSetuptxt"))->click();

    ASSERT_EQ(shellRequests.size(), 2);
    const auto owner = reinterpret_cast<HWND>(window.winId());
    EXPECT_EQ(shellRequests.at(0).owner, owner);
    EXPECT_EQ(shellRequests.at(0).file, QStringLiteral("C:\\Mud 3\\Database\\ODBC.reg"));
    EXPECT_EQ(shellRequests.at(0).folder, QStringLiteral("C:\\"));
    EXPECT_EQ(shellRequests.at(1).owner, owner);
    EXPECT_EQ(shellRequests.at(1).file, QStringLiteral("C:\\Mud 3\\Setup\\!Setup.txt Editor.exe"));
}
#endif
