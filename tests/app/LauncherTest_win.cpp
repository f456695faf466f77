#include "app/Form1.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>
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
// The Mud3 path is taken as the run takes it, a backslash added, and the field keeps what was typed.
TEST_F(ShellLaunch, ButtonsHandTheirFileToTheShellWithTheWindowAsOwnerAndTheDriveRootAsFolder)
{
    window.setFieldText(Field::txtMud3Path, QStringLiteral("C:\\Mud 3"));
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
    EXPECT_EQ(window.fieldText(Field::txtMud3Path), QStringLiteral("C:\\Mud 3"));
}
