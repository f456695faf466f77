#include "app/Form1.h"
#include "JobEnd.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Watches, while a press runs its event loop, for the modal message box; records what it shows and
// closes it. Stops watching when the test ends.
class MessageBoxWatcher {
public:
    MessageBoxWatcher()
    {
        timer.setInterval(50);
        QObject::connect(&timer, &QTimer::timeout, [this] { inspect(); });
        timer.start();
    }

    bool shown = false;
    QString title;
    QString text;
    QString informativeText;
    QStringList buttons;
    bool cursorRestored = false;
    bool shownAsPlainText = false;

private:
    void inspect()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer.stop();
        shown = true;
        title = box->windowTitle();
        text = box->text();
        informativeText = box->informativeText();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        cursorRestored = QGuiApplication::overrideCursor() == nullptr;
        shownAsPlainText = box->textFormat() == Qt::PlainText;
        for (const QLabel *label : box->findChildren<QLabel *>()) {
            if (label->text() == informativeText)
                shownAsPlainText = shownAsPlainText && label->textFormat() == Qt::PlainText;
        }
        box->accept();
    }

    QTimer timer;
};

// Records the cursor that the run sees while it reads the fields.
class ObservedForm1 : public Form1 {
public:
    using Form1::Form1;

    QString fieldText(Field field) const override
    {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        busyDuringRun = busyDuringRun || (cursor && cursor->shape() == Qt::WaitCursor);
        return Form1::fieldText(field);
    }

    mutable bool busyDuringRun = false;
};

class UpdateButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Never let a press reach the built-in LAN address: the run goes to the loopback test database.
        const QString sqlAddress = TestDatabase::sqlAddress();
        ASSERT_EQ(sqlAddress.section(QLatin1Char(','), 0, 0), QStringLiteral("127.0.0.1")) << sqlAddress.toStdString();
        window.setFieldText(Field::txtSQLIP, sqlAddress);
        ASSERT_EQ(window.fieldText(Field::txtSQLIP), sqlAddress);
        window.setFieldText(Field::txtSQLPass, TestDatabase::password());
        ASSERT_TRUE(emptyInstallation.isValid() && settingsDir.isValid());
        window.setFieldText(Field::txtMud3Path, emptyInstallation.path());
    }

    // The cause as the system reports it, from the same run against the window-less model.
    QString causeOfTheSameRunWithoutWindow()
    {
        FormValues model = FormValues::copyOf(window);
        Module1 module;
        const RunOutcome outcome = runUpdateOnLoopback(model, module, settingsPath);
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_FALSE(outcome.cause.isEmpty());
        return outcome.cause;
    }

    void press()
    {
        window.findChild<QPushButton *>(QStringLiteral("cmdUpdateIP"))->click();
        ASSERT_TRUE(waitForJobEnd());
    }

    QTemporaryDir emptyInstallation;
    QTemporaryDir settingsDir;
    QString settingsPath = settingsDir.filePath(QStringLiteral("Settings.ini"));
    ObservedForm1 window{settingsPath};
};

} // namespace

TEST_F(UpdateButtonTest, MissingFileShowsErrorReadingDataWithTheCauseBelow)
{
    for (int i = 0; i < FirstFileTarget; ++i)
        window.findChild<QCheckBox *>(QStringLiteral("Check1_%1").arg(i))->setChecked(false);
    window.show();

    MessageBoxWatcher seen;
    press();

    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, QStringLiteral("Error Reading Data" "Mir3Server\\DBSvr\\!ServerInfo.txt" "Cannot be Found, Check Mud 3 Path"));
    EXPECT_EQ(seen.informativeText, causeOfTheSameRunWithoutWindow());
    EXPECT_EQ(seen.title, QCoreApplication::applicationName());
    EXPECT_EQ(seen.buttons, QStringList{QStringLiteral("OK")});
    EXPECT_TRUE(seen.cursorRestored);
    EXPECT_TRUE(window.busyDuringRun);

    // The failed target and every later one keep their ticks for the next press; nothing was written.
    for (int i = FirstFileTarget; i < TargetCount; ++i)
        EXPECT_TRUE(window.isTicked(i)) << i;
    EXPECT_FALSE(QFile::exists(settingsPath));
}

TEST_F(UpdateButtonTest, PathsInTheMessageAreShownAsTyped)
{
    for (int i = 0; i < FirstFileTarget; ++i)
        window.clearTick(i);
    window.setFieldText(Field::txtMud3Path, emptyInstallation.path() + QStringLiteral("/<b>Mud3</b>\\"));

    MessageBoxWatcher seen;
    press();

    ASSERT_TRUE(seen.shown);
    // Markup and all; only the separators are the system's.
    EXPECT_TRUE(seen.informativeText.contains(QDir::toNativeSeparators(QStringLiteral("<b>Mud3</b>")))) << seen.informativeText.toStdString();
    EXPECT_TRUE(seen.shownAsPlainText);
}

TEST_F(UpdateButtonTest, SuccessfulRunIsSilent)
{
    for (int i = 0; i < TargetCount; ++i)
        window.clearTick(i);
    window.show();

    MessageBoxWatcher seen;
    press();

    EXPECT_FALSE(seen.shown) << seen.text.toStdString();
    EXPECT_TRUE(window.busyDuringRun);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(QFile::exists(settingsPath));
    EXPECT_TRUE(window.fieldText(Field::txtMud3Path).endsWith(QLatin1Char('\\')));
}

// Where nothing can be written, every run would fail at its first backup: the window says so as it opens.
TEST_F(UpdateButtonTest, ToolFolderThatCannotBeWrittenIsSaidWhenTheWindowOpens)
{
    // A file where the folder belongs: nothing can be made in it, whatever the user's rights.
    const QString notAFolder = settingsDir.filePath(QStringLiteral("Mud3 IP Setup"));
    ASSERT_TRUE(QFile(notAFolder).open(QIODevice::WriteOnly));
    Form1 opened(notAFolder + QStringLiteral("/Settings.ini"));

    MessageBoxWatcher seen;
    opened.Form_Load();
    opened.show();

    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.shown; }, 10000));
    EXPECT_EQ(seen.text, QStringLiteral("Settings.ini and the backups of the update runs cannot be kept in the tool's folder. "
                                        "Move the tool to a folder that can be written, such as the server's own."));
    EXPECT_TRUE(seen.informativeText.startsWith(QLatin1Char('"') + QDir::toNativeSeparators(notAFolder) + QStringLiteral("\": ")))
        << seen.informativeText.toStdString();
    EXPECT_TRUE(seen.shownAsPlainText);
}
