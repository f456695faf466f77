#include "ToolWindow.h"

#include "database/AccountTables.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

namespace {

// "Preview Changes", at its place in the window's layout in twips, in pixels.
const QRect PreviewButton(5640 / 15, 6480 / 15, 4215 / 15, 375 / 15);

bool waitUntil(const std::function<bool()> &condition, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

// The tool started from a folder of its own beside a Settings.ini that points at the test database and a
// temporary installation, on an X server of the test's own; the preview dialog read through the
// accessibility tree.
class PreviewEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_session.isValid());
        ASSERT_TRUE(m_display.start()) << m_display.error().toStdString();
        ASSERT_TRUE(m_bus.start(m_session.path())) << m_bus.error().toStdString();
        TestDatabase::execute(AccountTables::create());
        ASSERT_FALSE(HasFailure());
        QDir().mkpath(m_session.path() + QStringLiteral("/bin"));
        ASSERT_TRUE(QFile::copy(TestDatabase::toolExecutable(), executable()));
        QFile::setPermissions(executable(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString executable() const { return m_session.path() + QStringLiteral("/bin/Mud3IPSetup"); }
    QString settingsPath() const { return m_session.path() + QStringLiteral("/bin/Settings.ini"); }

    // Presses the button where the window shows it; only while the SQL field names the test database.
    bool pressPreview()
    {
        if (m_window.fieldText(ToolWindow::SQLIP) != TestDatabase::sqlAddress())
            return false;
        const QString window = m_display.xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                        QStringLiteral("--name"), QStringLiteral("^Form1$")})
                                   .section(QLatin1Char('\n'), 0, 0)
                                   .trimmed();
        m_toolProcess = m_display.xdotoolOutput({QStringLiteral("getwindowpid"), window}).trimmed().toLongLong();
        return !window.isEmpty()
            && m_display.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                                  QString::number(PreviewButton.center().x()), QString::number(PreviewButton.center().y()),
                                  QStringLiteral("click"), QStringLiteral("1")});
    }

    AccessibleObject previewDialog()
    {
        const AccessibleObject application = m_bus.applicationOf(m_toolProcess);
        for (const AccessibleObject &window : m_bus.children(application)) {
            if (m_bus.name(window) == QLatin1String("Preview Changes"))
                return window;
        }
        return {};
    }

    // What the dialog's controls say, one a line, as a screen reader reads them: labels, the targets and
    // their states, the chosen target's cells.
    QStringList previewText(const AccessibleObject &dialog)
    {
        QStringList names;
        QList<AccessibleObject> pending = m_bus.children(dialog);
        while (!pending.isEmpty()) {
            const AccessibleObject control = pending.takeFirst();
            names.append(m_bus.name(control));
            pending += m_bus.children(control);
        }
        return names;
    }

    // Escape, typed into the dialog as a user would; true once the dialog has gone.
    bool closeWithEscape()
    {
        const QString dialog = m_display.xdotoolOutput({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                                        QStringLiteral("--name"), QStringLiteral("^Preview Changes$")})
                                   .section(QLatin1Char('\n'), 0, 0)
                                   .trimmed();
        return !dialog.isEmpty() && m_display.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog})
            && m_display.xdotool({QStringLiteral("key"), QStringLiteral("Escape")})
            && waitUntil([this] { return previewDialog().isNull(); }, 10000);
    }

    QTemporaryDir m_session;
    InstallationTree m_tree;
    XvfbDisplay m_display;
    AccessibilityBus m_bus;
    ToolWindow m_window{m_display, m_bus};
    qint64 m_toolProcess = 0;
};

} // namespace

TEST_F(PreviewEndToEnd, ThePreviewShowsAChangeAndLeavesFilesTicksAndFieldsAsTheyWere)
{
    const QByteArray typedPath = QFile::encodeName(m_tree.mud3Path().chopped(1));
    const QByteArray settings = QByteArrayLiteral("[Settings]\r\nServerName=Morrowtide\r\nExternalIP=203.0.113.24\r\n"
                                                  "InternalIP=192.0.2.24\r\nSQLIP=")
        + TestDatabase::sqlAddress().toLatin1() + QByteArrayLiteral("\r\nSQLPass=") + TestDatabase::password().toLatin1() + QByteArrayLiteral("\r\nMud3Path=") + typedPath
        + QByteArrayLiteral("\r\nLGPort=7005\r\nSGPort=7105\r\nRG01Port=7201\r\nRG02Port=7202\r\n");
    {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
    }
    ASSERT_TRUE(m_window.start(executable(), m_session.path())) << m_window.error().toStdString();
    ASSERT_TRUE(m_window.clickTick(6)) << m_window.error().toStdString();
    const QList<bool> ticks = m_window.ticks();
    ASSERT_EQ(ticks.size(), ToolWindow::TargetCount) << m_window.error().toStdString();
    ASSERT_FALSE(ticks.at(6));

    ASSERT_TRUE(pressPreview()) << m_display.error().toStdString();
    AccessibleObject dialog;
    ASSERT_TRUE(waitUntil([&] { return !(dialog = previewDialog()).isNull(); }, 20000)) << "no preview dialog";

    const QStringList names = previewText(dialog);
    const QString text = names.join(QLatin1Char('\n'));
    EXPECT_TRUE(names.contains(QStringLiteral("Changes: 11 files and 3 tables.   Unchanged: nothing.   Would fail: nothing."))) << text.toStdString();
    // The first target, with its state, is chosen: its rows as the table holds them and as the run leaves them.
    EXPECT_TRUE(text.contains(QStringLiteral("TBL_PUBIPS\nchanges\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\"192.0.2.2\"\n")) && text.contains(QStringLiteral("\"203.0.113.24\"\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Mir3Server\\DBSvr\\!ServerInfo.txt\nchanges\n"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("!ServerAddr.txt"))) << text.toStdString();
    ASSERT_TRUE(closeWithEscape()) << m_display.error().toStdString();

    EXPECT_EQ(m_window.ticks(), ticks) << m_window.error().toStdString();
    EXPECT_EQ(m_window.fieldText(ToolWindow::Mud3Path), QString::fromLocal8Bit(typedPath));
    for (int target = 3; target < ToolWindow::TargetCount; ++target)
        EXPECT_EQ(m_tree.read(target), InstallationTree::oldContent(target)) << target;
    for (const QString &table : {QStringLiteral("TBL_PUBIPS"), QStringLiteral("TBL_SELECTGATEIPS"), QStringLiteral("TBL_SERVERINFO")})
        EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), table), AccountTables::initialRows(table)) << table.toStdString();
    EXPECT_EQ(readFile(settingsPath()), settings);
}
