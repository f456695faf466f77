#include "database/AccountTables.h"
#include "model/FormValues.h"
#include "model/Settings.h"
#include "platform/Failure.h"
#include "restore/Restore.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"
#include "update/FileTarget.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <algorithm>
#include <qt_windows.h>

namespace {

struct WindowSearch {
    DWORD processId;
    QList<HWND> windows;
};

// The visible top-level windows of a process.
QList<HWND> windowsOf(qint64 processId)
{
    WindowSearch search{DWORD(processId), {}};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto *found = reinterpret_cast<WindowSearch *>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == found->processId && IsWindowVisible(window))
                found->windows << window;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

QString titleOf(HWND window)
{
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    return QString::fromWCharArray(title);
}

// A program started from a folder of its own, ended when the test ends.
class Program {
public:
    explicit Program(const QString &executable) { m_process.start(executable, {}); }
    ~Program()
    {
        for (HWND window : windowsOf(m_process.processId()))
            PostMessageW(window, WM_CLOSE, 0, 0);
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // Its visible window of that title, waited for up to 30 s; nullptr when none showed.
    HWND window(const QString &title)
    {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 30000 && m_process.state() != QProcess::NotRunning) {
            for (HWND window : windowsOf(m_process.processId())) {
                if (titleOf(window) == title)
                    return window;
            }
            QThread::msleep(5);
        }
        return nullptr;
    }

    qint64 processId() const { return m_process.processId(); }

private:
    QProcess m_process;
};

// A key pressed and released in the window, for the widget that has its focus; sent to that window
// alone, whichever window is active. A key that types a character is followed by it, as Windows does,
// for Qt takes the character after a key as the key's own.
void pressKey(HWND window, UINT key, wchar_t character = 0)
{
    const LPARAM scanCode = LPARAM(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(window, WM_KEYDOWN, key, scanCode | 1);
    if (character)
        PostMessageW(window, WM_CHAR, character, scanCode | 1);
    PostMessageW(window, WM_KEYUP, key, scanCode | 1 | (LPARAM(3) << 30));
}

// Returns once the window's program has handled everything sent to it before: its fields loaded, its
// window drawn.
bool waitUntilIdle(HWND window)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
}

// How many pixels differ between two pictures of the same size; all of them when the sizes differ.
qint64 differentPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return qint64(a.width()) * a.height() + 1;
    qint64 different = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            different += a.pixel(x, y) != b.pixel(x, y);
    }
    return different;
}

// Returns once the window has looked the same for three seconds, or after twenty: what its job read shows. A
// blinking caret, which Wine draws where the focus is, does not count.
void waitUntilStill(HWND window)
{
    RECT frame{};
    GetWindowRect(window, &frame);
    QImage last;
    QElapsedTimer waited;
    QElapsedTimer still;
    waited.start();
    still.start();
    while (waited.elapsed() < 20000 && still.elapsed() < 3000) {
        QThread::msleep(250);
        const QImage now = QGuiApplication::primaryScreen()
                               ->grabWindow(0, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top)
                               .toImage();
        if (differentPixels(now, last) > 100) {
            last = now;
            still.restart();
        }
    }
}

// The screen, for a person to look at, when MUD3_SCREENSHOT names a file; "%1" in the name becomes the
// kind of folders.
void saveScreenshot(const char *folders)
{
    const QString path = qEnvironmentVariable("MUD3_SCREENSHOT");
    if (!path.isEmpty())
        QGuiApplication::primaryScreen()->grabWindow(0).save(path.arg(QLatin1String(folders)));
}

// Milliseconds from start to a visible window with the title.
qint64 startToWindowShown(const QString &executable, const QString &title)
{
    QElapsedTimer timer;
    timer.start();
    Program program(executable);
    EXPECT_NE(program.window(title), nullptr) << title.toStdString();
    return timer.elapsed();
}

// Where the tool and the installation lie; the kind names the test case. Wine reaches names outside ASCII
// only through a host locale that holds them: the Chinese ones need the Chinese locale of the test run.
struct Folders {
    const char *kind, *program, *installation;
};
const Folders PlainFolders{"PlainFolders", "bin", "Mud3"};

void PrintTo(const Folders &folders, std::ostream *out)
{
    *out << folders.kind;
}

class ToolWindow : public testing::Test {
protected:
    explicit ToolWindow(const Folders &folders = PlainFolders)
        : m_program(m_bin.filePath(QString::fromUtf8(folders.program)))
        , m_tree(QString::fromUtf8(folders.installation))
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_bin.isValid() && QDir().mkpath(m_program));
        TestDatabase::execute(AccountTables::create());
        ASSERT_FALSE(HasFailure());
        ASSERT_TRUE(QFile::copy(TestDatabase::toolExecutable(), executable()));
    }

    QString executable() const { return m_program + QStringLiteral("/Mud3IPSetup.exe"); }
    QString settingsPath() const { return m_program + QStringLiteral("/Settings.ini"); }

    QTemporaryDir m_bin;
    const QString m_program;
    InstallationTree m_tree;
};

class ToolWindowFrom : public ToolWindow, public testing::WithParamInterface<Folders> {
protected:
    ToolWindowFrom()
        : ToolWindow(GetParam())
    {
    }
};

} // namespace

// The update button has the keyboard when the window opens: one key press runs every target with the
// fields from Settings.ini, silently, and saves the fields again.
TEST_P(ToolWindowFrom, PressingUpdateWritesTheFilesTheTablesAndSettings)
{
    FormValues fields;
    pointAtTestSystem(fields, m_tree);
    AccountTables::setNewValues(fields);
    Settings::save(fields, settingsPath());
    // Written with LF line ends, which the tool reads as well; the run saves them with CR LF again.
    const QByteArray saved = readFile(settingsPath());
    QByteArray withLf = saved;
    withLf.replace("\r\n", "\n");
    QFile settings(settingsPath());
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly) && settings.write(withLf) == withLf.size());
    settings.close();

    Program tool(executable());
    const HWND window = tool.window(QStringLiteral("Form1"));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntilIdle(window));
    pressKey(window, VK_SPACE);

    QElapsedTimer waited;
    waited.start();
    // Read only once its size shows the tool's save: an open handle would hold up the replacement, and
    // under Wine the file can be out of reach for a moment while it is put in place.
    const auto savedAgain = [&] { return QFileInfo(settingsPath()).size() == saved.size() && readFile(settingsPath()) == saved; };
    while (!savedAgain() && waited.elapsed() < 30000)
        QThread::msleep(50);
    EXPECT_EQ(readFile(settingsPath()), saved);
    // The cleared ticks are drawn once the run has returned to the event loop.
    QThread::msleep(500);
    ASSERT_TRUE(waitUntilIdle(window));
    saveScreenshot(GetParam().kind);
    EXPECT_EQ(windowsOf(tool.processId()), QList<HWND>{window}) << "a message box showed";
    for (int target = FirstFileTarget; target < TargetCount; ++target) {
        const QByteArray expected = FileTarget::content(target, fields);
        EXPECT_TRUE(m_tree.read(target) == expected) << target << ": " << firstDifferentLine(m_tree.read(target), expected);
    }
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"}) {
        EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), QLatin1String(table)), AccountTables::updatedRows(QLatin1String(table)))
            << table;
    }
}

INSTANTIATE_TEST_SUITE_P(Folders, ToolWindowFrom,
                         testing::Values(PlainFolders, Folders{"ChineseFoldersWithSpaces", "传奇 工具", "服务器 目录"}));

// Start to window shown, alternately, against a bare Qt window of as many widgets built the same way.
TEST_F(ToolWindow, OpensAboutAsFastAsABareQtWindow)
{
    QList<qint64> tool, bare;
    for (int round = 0; round < 5; ++round) {
        tool << startToWindowShown(executable(), QStringLiteral("Form1"));
        bare << startToWindowShown(QStringLiteral(MUD3_BARE_WINDOW), QStringLiteral("BareWindow"));
    }
    std::sort(tool.begin(), tool.end());
    std::sort(bare.begin(), bare.end());
    const double ratio = double(tool.at(2)) / double(std::max<qint64>(bare.at(2), 1));
    std::printf("start to window shown, median of 5: tool %lld ms, bare Qt window %lld ms, ratio %.2f\n", tool.at(2),
                bare.at(2), ratio);
    EXPECT_LT(ratio, 3.0);
}

// Both review dialogs open from the keyboard, lie within the screen's work area and close with Escape: the
// preview before a run, the restore after it, reading the plan of the run it kept. With MUD3_SCREENSHOT set,
// each leaves a screenshot of itself, the preview a second one with the first game gate's file chosen, whose text
// holds Chinese.
TEST_F(ToolWindow, ReviewDialogsOpenFromTheKeyboardWithinTheScreen)
{
    FormValues fields;
    pointAtTestSystem(fields, m_tree);
    AccountTables::setNewValues(fields);
    Settings::save(fields, settingsPath());
    Program tool(executable());
    const HWND window = tool.window(QStringLiteral("Form1"));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntilIdle(window));
    RECT workArea{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0));
    // tabs: from the focused button to the dialog's, along the tab order; then Space presses it.
    const auto review = [&](int tabs, const QString &title, int downs) {
        for (int tab = 0; tab < tabs; ++tab)
            pressKey(window, VK_TAB, L'\t');
        pressKey(window, VK_SPACE, L' ');
        const HWND dialog = tool.window(title);
        ASSERT_NE(dialog, nullptr) << title.toStdString();
        ASSERT_TRUE(waitUntilIdle(dialog));
        waitUntilStill(dialog);
        RECT frame{};
        GetWindowRect(dialog, &frame);
        EXPECT_TRUE(frame.left >= workArea.left && frame.top >= workArea.top && frame.right <= workArea.right && frame.bottom <= workArea.bottom)
            << title.toStdString() << ": " << frame.left << "," << frame.top << " to " << frame.right << "," << frame.bottom;
        saveScreenshot(title.toLatin1().replace(' ', "").constData());
        if (downs > 0) {
            for (int down = 0; down < downs; ++down)
                pressKey(dialog, VK_DOWN);
            ASSERT_TRUE(waitUntilIdle(dialog));
            waitUntilStill(dialog);
            saveScreenshot((title.toLatin1().replace(' ', "") + "-file").constData());
        }
        // Dropped while the dialog's job still runs.
        QElapsedTimer waited;
        waited.start();
        while (windowsOf(tool.processId()).contains(dialog) && waited.elapsed() < 20000) {
            pressKey(dialog, VK_ESCAPE, 0x1b);
            QThread::msleep(250);
        }
        EXPECT_FALSE(windowsOf(tool.processId()).contains(dialog)) << title.toStdString() << " stays after Escape";
    };
    // The update button has the focus: ten fields and two launchers lie before the preview.
    review(13, QStringLiteral("Preview Changes"), 9);
    // Back on the preview button: the restore button and the fifteen targets before the update button.
    for (int tab = 0; tab < 17; ++tab)
        pressKey(window, VK_TAB, L'\t');
    pressKey(window, VK_SPACE, L' ');
    // Keys pressed while the run goes on are dropped: the restore is asked for once the run's record says it
    // is complete, and the run has had a moment to hand its end to the window.
    const auto runComplete = [&] {
        try {
            const std::vector<Restore::KeptRun> runs = Restore::keptRuns(settingsPath());
            return !runs.empty() && !runs.front().isOriginal() && runs.front().ending() == QLatin1String("complete");
        } catch (const Failure &) {
            return false; // a folder the run is still making
        }
    };
    QElapsedTimer waited;
    waited.start();
    while (!runComplete() && waited.elapsed() < 60000)
        QThread::msleep(100);
    ASSERT_TRUE(runComplete());
    QThread::msleep(1000);
    ASSERT_TRUE(waitUntilIdle(window));
    // From the update button: the fields, the launchers and the preview lie before the restore button.
    review(14, QStringLiteral("Restore a Kept Run"), 0);
}

// At code page 1252 a Chinese server name cannot go into the server's files: the run says so before it
// changes anything, no row, no file, no backup, no Settings.ini.
TEST_F(ToolWindow, ChineseServerNameAtCodePage1252ChangesNothing)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "for code page 1252, which cannot hold the name";
    FormValues fields;
    pointAtTestSystem(fields, m_tree);
    Settings::save(fields, settingsPath());
    const QByteArray settings = readFile(settingsPath());

    Program tool(executable());
    const HWND window = tool.window(QStringLiteral("Form1"));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntilIdle(window));
    // The server name follows the update button in the tab order: typed over, then round the other 9
    // fields, 4 buttons and 15 targets back to the update button, which Enter presses.
    pressKey(window, VK_TAB, L'\t');
    for (const QChar character : QStringLiteral("传奇"))
        PostMessageW(window, WM_CHAR, character.unicode(), 1);
    for (int control = 0; control < 9 + 4 + 15 + 1; ++control)
        pressKey(window, VK_TAB, L'\t');
    pressKey(window, VK_RETURN, L'\r');

    EXPECT_NE(tool.window(QStringLiteral("Mud3IPSetup")), nullptr) << "no message box";
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
        EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), QLatin1String(table)), AccountTables::initialRows(QLatin1String(table)));
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        EXPECT_EQ(m_tree.read(target), InstallationTree::oldContent(target)) << target;
    EXPECT_FALSE(QFileInfo::exists(m_program + QStringLiteral("/Backups")));
    EXPECT_EQ(readFile(settingsPath()), settings);
}
