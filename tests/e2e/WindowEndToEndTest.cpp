#include "ToolWindow.h"

#include "database/AccountTables.h"
#include "database/LockHolder.h"
#include "platform/ProgramPath.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <algorithm>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <string>

namespace {

using Row = ToolWindow::Row;

const QList<bool> AllTicked(ToolWindow::TargetCount, true);
const QList<bool> NoneTicked(ToolWindow::TargetCount, false);

// The Settings.ini lines of the ten stored fields, in file order.
struct StoredValues {
    QByteArray serverName, externalIP, internalIP, sqlIP, sqlPass, mud3Path, lgPort, sgPort, rg01Port, rg02Port;
};

QByteArray settingsFile(const StoredValues &values)
{
    return QByteArrayLiteral("[Settings]\r\nServerName=") + values.serverName + QByteArrayLiteral("\r\nExternalIP=")
           + values.externalIP + QByteArrayLiteral("\r\nInternalIP=") + values.internalIP + QByteArrayLiteral("\r\nSQLIP=")
           + values.sqlIP + QByteArrayLiteral("\r\nSQLPass=") + values.sqlPass + QByteArrayLiteral("\r\nMud3Path=")
           + values.mud3Path + QByteArrayLiteral("\r\nLGPort=") + values.lgPort + QByteArrayLiteral("\r\nSGPort=")
           + values.sgPort + QByteArrayLiteral("\r\nRG01Port=") + values.rg01Port + QByteArrayLiteral("\r\nRG02Port=")
           + values.rg02Port + QByteArrayLiteral("\r\n");
}

QList<bool> ticksExcept(bool tick, std::initializer_list<int> targets)
{
    QList<bool> result(ToolWindow::TargetCount, tick);
    for (const int target : targets)
        result[target] = !tick;
    return result;
}

// The tool's executable copied into a folder of its own beside a Settings.ini that the test writes,
// started on an X server with a window the test drives as a user would.
class WindowEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_session.isValid());
        ASSERT_TRUE(m_display.start()) << m_display.error().toStdString();
        // The Chinese server name is typed; its characters get keys before the tool reads the keyboard.
        ASSERT_TRUE(m_display.bindKeys(QStringLiteral("墨潮一区"))) << m_display.error().toStdString();
        ASSERT_TRUE(m_bus.start(m_session.path())) << m_bus.error().toStdString();
        TestDatabase::execute(AccountTables::create());
        ASSERT_FALSE(HasFailure());

        QDir().mkpath(binFolder());
        ASSERT_TRUE(QFile::copy(TestDatabase::toolExecutable(), executable()));
        QFile::setPermissions(executable(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString binFolder() const { return m_session.path() + QStringLiteral("/bin"); }
    QString executable() const { return binFolder() + QStringLiteral("/Mud3IPSetup"); }
    QString settingsPath() const { return binFolder() + QStringLiteral("/Settings.ini"); }

    // The installation folder as an administrator might type it: without the closing backslash.
    QByteArray treeWithoutBackslash() const { return QFile::encodeName(m_tree.mud3Path().chopped(1)); }
    static QByteArray sqlAddress() { return TestDatabase::sqlAddress().toLatin1(); }
    static QByteArray password() { return TestDatabase::password().toLatin1(); }

    void writeSettings(const QByteArray &content)
    {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }

    QStringList rows(const char *table) { return AccountTables::rows(TestDatabase::admin(), QLatin1String(table)); }

    // The file of a ticked target against the hand-written expectation; "{txtSQLIP}" and "{txtSQLPass}" stand
    // for the test server's address, whose port varies, and its password.
    void expectFile(int target, const QString &expectedFolder)
    {
        const QByteArray expected = readFile(expectedFolder + QLatin1Char('/') + fileSystemPath(targetCaption(target)))
                                        .replace("{txtSQLIP}", sqlAddress())
                                        .replace("{txtSQLPass}", password());
        const QByteArray written = m_tree.read(target);
        EXPECT_TRUE(written == expected) << targetCaption(target).toStdString() << ", " << firstDifferentLine(written, expected);
    }

    void expectOldFile(int target)
    {
        EXPECT_EQ(m_tree.read(target), InstallationTree::oldContent(target)) << targetCaption(target).toStdString();
    }

    std::string windowError() const { return m_window.error().toStdString(); }

    QTemporaryDir m_session;
    InstallationTree m_tree;
    XvfbDisplay m_display;
    AccessibilityBus m_bus;
    ToolWindow m_window{m_display, m_bus};
};

TEST_F(WindowEndToEnd, TypedValuesAndTicksReachTheFilesTheTablesAndTheSettings)
{
    writeSettings(settingsFile({"Old Name", "198.51.100.1", "192.168.0.24", sqlAddress(), password(), treeWithoutBackslash(),
                                "7005", "7105", "7201", "7202"}));
    ASSERT_TRUE(m_window.start(executable(), m_session.path())) << windowError();

    // What Settings.ini holds is in the fields, every box ticked.
    EXPECT_EQ(m_window.fieldText(Row::ServerName), QStringLiteral("Old Name"));
    EXPECT_EQ(m_window.fieldText(Row::Mud3Path), QString::fromLocal8Bit(treeWithoutBackslash()));
    EXPECT_EQ(m_window.fieldText(Row::RG02Port), QStringLiteral("7202"));
    EXPECT_EQ(m_window.ticks(), AllTicked) << windowError();

    // Blanks before and after, ";", "=" and "'" and a Chinese name, typed over what was loaded. The SQL
    // address, the password and the path keep their loaded values.
    const QString serverName = QStringLiteral(" 墨潮'一区=1; ");
    ASSERT_TRUE(m_window.typeInto(Row::ServerName, serverName)) << windowError();
    ASSERT_TRUE(m_window.typeInto(Row::ExternalIP, QStringLiteral("  203.0.113.9 "))) << windowError();
    ASSERT_TRUE(m_window.typeInto(Row::InternalIP, QStringLiteral(" 192.0.2.82;"))) << windowError();
    ASSERT_TRUE(m_window.typeInto(Row::LGPort, QStringLiteral("7005 "))) << windowError();
    ASSERT_TRUE(m_window.typeInto(Row::SGPort, QStringLiteral(" 7777 "))) << windowError();
    ASSERT_TRUE(m_window.typeInto(Row::RG01Port, QStringLiteral("72=01"))) << windowError();
    ASSERT_TRUE(m_window.typeInto(Row::RG02Port, QStringLiteral("'7202'"))) << windowError();

    // Clear TBL_SERVERINFO, !ServerAddr.txt and !RunAddr.txt; clear RunGate01's box and tick it again.
    for (const int target : {2, 6, 12, 9, 9})
        ASSERT_TRUE(m_window.clickTick(target)) << windowError();
    EXPECT_EQ(m_window.ticks(), ticksExcept(true, {2, 6, 12})) << windowError();

    ASSERT_TRUE(m_window.pressUpdate(TestDatabase::sqlAddress())) << windowError();
    ASSERT_TRUE(m_window.waitForRunEnd()) << windowError();
    const AccessibleObject box = m_window.messageBox();
    ASSERT_TRUE(box.isNull()) << "unexpected message: " << m_window.messageTexts(box).join(QLatin1Char('|')).toStdString();

    // Every ticked target was done and cleared; the path gained its backslash in the field.
    EXPECT_EQ(m_window.ticks(), NoneTicked) << windowError();
    EXPECT_EQ(m_window.fieldText(Row::Mud3Path), QString::fromLocal8Bit(treeWithoutBackslash()) + QLatin1Char('\\'));
    EXPECT_EQ(m_window.fieldText(Row::SQLIP), TestDatabase::sqlAddress());

    for (int target = 3; target < ToolWindow::TargetCount; ++target) {
        if (target == 6 || target == 12)
            expectOldFile(target);
        else
            expectFile(target, QStringLiteral(MUD3_E2E_DATA "/typed"));
    }

    // The tables get the values without their outer blanks; the unticked TBL_SERVERINFO is untouched.
    EXPECT_EQ(rows("TBL_PUBIPS"),
              (QStringList{QStringLiteral("1|LoginGW|127.0.0.1|kept 1"), QStringLiteral("2|LoginServer|203.0.113.9|kept 2"),
                           QStringLiteral("3|SET1 DB Conn|127.0.0.1|kept 3"), QStringLiteral("4|SET1 GameSrv1|127.0.0.1|kept 4")}));
    EXPECT_EQ(rows("TBL_SELECTGATEIPS"), QStringList{QStringLiteral("1|MIR3|203.0.113.9|墨潮'一区=1;|7777|kept 5")});
    EXPECT_EQ(rows("TBL_SERVERINFO"), AccountTables::initialRows(QStringLiteral("TBL_SERVERINFO")));

    // Settings.ini holds the values as typed, in code page 936, the path with its backslash.
    const QByteArray nameInCodePage936 = QByteArray::fromHex("20c4abb3b127d2bbc7f83d313b20");
    EXPECT_EQ(readFile(settingsPath()),
              settingsFile({nameInCodePage936, "  203.0.113.9 ", " 192.0.2.82;", sqlAddress(), password(),
                            treeWithoutBackslash() + '\\', "7005 ", " 7777 ", "72=01", "'7202'"}));
}

TEST_F(WindowEndToEnd, AMissingFileStopsTheRunBeforeItWritesAnythingAndTheNextPressDoesEverything)
{
    // The built-in defaults apart from the database and the path, so that the hand-written files of the
    // defaults are what the targets write.
    const StoredValues loaded{"Morrowtide", "203.0.113.24", "192.168.0.24", sqlAddress(), password(), treeWithoutBackslash(),
                              "7005", "7105", "7201", "7202"};
    writeSettings(settingsFile(loaded));
    const int missing = 7;
    ASSERT_TRUE(QFile::remove(m_tree.filePath(missing)));
    ASSERT_TRUE(m_window.start(executable(), m_session.path())) << windowError();
    ASSERT_EQ(m_window.ticks(), AllTicked) << windowError();

    ASSERT_TRUE(m_window.pressUpdate(TestDatabase::sqlAddress())) << windowError();
    ASSERT_TRUE(m_window.waitForRunEnd()) << windowError();
    const AccessibleObject box = m_window.messageBox();
    ASSERT_FALSE(box.isNull()) << "no message box";

    // The message names the file; a cause from the system may follow in a second text.
    EXPECT_EQ(m_window.messageTitle(box), QStringLiteral("Mud3IPSetup"));
    const QStringList texts = m_window.messageTexts(box);
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.first(), QStringLiteral("Error Reading DataMir3Server\\KLoginSvr\\Logsrv.ini"));
    EXPECT_EQ(m_window.messageButtons(box), QStringList{QStringLiteral("OK")});

    // Found before anything was written: while it is shown, and after, every target is still ticked.
    EXPECT_EQ(m_window.ticks(), AllTicked) << windowError();
    ASSERT_TRUE(m_window.clickMessageButton(box, QStringLiteral("OK"))) << windowError();
    EXPECT_EQ(m_window.ticks(), AllTicked) << windowError();

    EXPECT_FALSE(QFile::exists(m_tree.filePath(missing)));
    for (int target = 3; target < ToolWindow::TargetCount; ++target) {
        if (target != missing)
            expectOldFile(target);
    }
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
        EXPECT_EQ(rows(table), AccountTables::initialRows(QLatin1String(table)));
    // The failed run saved nothing: the path in Settings.ini still lacks the backslash the field gained.
    EXPECT_EQ(m_window.fieldText(Row::Mud3Path), QString::fromLocal8Bit(treeWithoutBackslash()) + QLatin1Char('\\'));
    EXPECT_EQ(readFile(settingsPath()), settingsFile(loaded));

    // The administrator puts the file back and presses again: the run does every target.
    {
        QFile file(m_tree.filePath(missing));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(InstallationTree::oldContent(missing)) > 0);
    }
    ASSERT_TRUE(m_window.pressUpdate(TestDatabase::sqlAddress())) << windowError();
    ASSERT_TRUE(m_window.waitForRunEnd()) << windowError();
    const AccessibleObject second = m_window.messageBox();
    ASSERT_TRUE(second.isNull()) << "unexpected message: " << m_window.messageTexts(second).join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(m_window.ticks(), NoneTicked) << windowError();

    const QString defaults = QStringLiteral(MUD3_TEST_DATA "/golden/defaults");
    for (int target = 3; target < ToolWindow::TargetCount; ++target)
        expectFile(target, defaults);
    EXPECT_EQ(rows("TBL_SERVERINFO"), QStringList{QStringLiteral("1|MIR3|Morrowtide|kept 6")});
    StoredValues saved = loaded;
    saved.mud3Path += '\\';
    EXPECT_EQ(readFile(settingsPath()), settingsFile(saved));
}

// The built-in defaults apart from the database and the path, pressed while another session holds
// TBL_PUBIPS whole, so that the run waits at its first query. The server ends that session after
// lockSeconds, and a run still waiting goes on.
class WindowDuringALock : public WindowEndToEnd {
protected:
    void SetUp() override
    {
        if (TestDatabase::isTSql())
            GTEST_SKIP() << "The lock holder's session must end by itself, as PostgreSQL ends it, and the run's wait be seen";
        WindowEndToEnd::SetUp();
    }

    void startAndPressWhileLocked(int lockSeconds)
    {
        writeSettings(settingsFile(loaded));
        ASSERT_TRUE(m_window.start(executable(), m_session.path())) << windowError();
        ASSERT_EQ(m_window.ticks(), AllTicked) << windowError();
        m_holder = std::make_unique<LockHolder>(QStringList{QStringLiteral("LOCK TABLE TBL_PUBIPS IN ACCESS EXCLUSIVE MODE")}, lockSeconds);
        m_sincePress.start();
        ASSERT_TRUE(m_window.pressUpdate(TestDatabase::sqlAddress())) << windowError();
        const QDeadlineTimer deadline(10000);
        while (LockHolder::waitingSessions() != 1 && !deadline.hasExpired())
            QThread::msleep(50);
        ASSERT_EQ(LockHolder::waitingSessions(), 1) << "the run does not wait for the lock";
    }

    QString normalisedPath() const { return QString::fromLocal8Bit(treeWithoutBackslash()) + QLatin1Char('\\'); }

    const StoredValues loaded{"Morrowtide", "203.0.113.24", "192.168.0.24", sqlAddress(), password(), treeWithoutBackslash(),
                              "7005", "7105", "7201", "7202"};
    std::unique_ptr<LockHolder> m_holder;
    QElapsedTimer m_sincePress;
};

TEST_F(WindowDuringALock, InputDuringARunTakesNoEffect)
{
    startAndPressWhileLocked(10);
    ASSERT_TRUE(m_window.typeIntoWithoutWaiting(Row::ServerName, QStringLiteral("ZZZ"))) << windowError();
    ASSERT_TRUE(m_window.clickTickWithoutWaiting(14)) << windowError();
    ASSERT_TRUE(m_window.clickTickWithoutWaiting(3)) << windowError();

    // The window answers while the run waits, and shows what the run changed so far, none of the input.
    EXPECT_EQ(m_window.fieldText(Row::Mud3Path), normalisedPath());
    EXPECT_EQ(m_window.fieldText(Row::ServerName), QStringLiteral("Morrowtide"));
    EXPECT_EQ(m_window.ticks(), AllTicked) << windowError();
    ASSERT_EQ(LockHolder::waitingSessions(), 1) << "the run ended before the input was made";

    // Once the lock is gone the run completes with the values it found, and the input is not replayed.
    ASSERT_TRUE(m_window.waitForRunEnd(30000)) << windowError();
    const AccessibleObject box = m_window.messageBox();
    ASSERT_TRUE(box.isNull()) << "unexpected message: " << m_window.messageTexts(box).join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(m_window.fieldText(Row::ServerName), QStringLiteral("Morrowtide"));
    EXPECT_EQ(m_window.ticks(), NoneTicked) << windowError();
    for (int target = 3; target < ToolWindow::TargetCount; ++target)
        expectFile(target, QStringLiteral(MUD3_TEST_DATA "/golden/defaults"));
    StoredValues saved = loaded;
    saved.mud3Path += '\\';
    EXPECT_EQ(readFile(settingsPath()), settingsFile(saved));
}

TEST_F(WindowDuringALock, ALockedTableEndsTheRunAsBusyAfterAboutThirtySeconds)
{
    startAndPressWhileLocked(60);
    EXPECT_EQ(m_window.fieldText(Row::Mud3Path), normalisedPath());

    ASSERT_TRUE(m_window.waitForRunEnd(60000)) << windowError();
    const qint64 elapsed = m_sincePress.elapsed();
    m_holder->release();
    std::cout << "[ measured ] a locked table ended the run in the window after " << elapsed << " ms" << std::endl;

    const AccessibleObject box = m_window.messageBox();
    ASSERT_FALSE(box.isNull()) << "no message box";
    const QStringList texts = m_window.messageTexts(box);
    ASSERT_EQ(texts.size(), 2) << texts.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(texts.at(0), QStringLiteral("Error Reading DataTBL_PUBIPSCannot be found, check IP Adress, and SQL Password"));
    EXPECT_TRUE(texts.at(1).startsWith(QStringLiteral("TBL_PUBIPS was busy: no answer within 30 seconds"))) << texts.at(1).toStdString();
    EXPECT_GE(elapsed, 29000);
    EXPECT_LE(elapsed, 45000);
    ASSERT_TRUE(m_window.clickMessageButton(box, QStringLiteral("OK"))) << windowError();

    EXPECT_EQ(m_window.ticks(), AllTicked) << windowError();
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
        EXPECT_EQ(rows(table), AccountTables::initialRows(QLatin1String(table)));
    for (int target = 3; target < ToolWindow::TargetCount; ++target)
        expectOldFile(target);
    EXPECT_EQ(readFile(settingsPath()), settingsFile(loaded));
}

} // namespace
