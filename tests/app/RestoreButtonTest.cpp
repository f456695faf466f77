#include "JobEnd.h"
#include "app/Form1.h"
#include "app/RestoreDialog.h"
#include "database/AccountTables.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

// A run kept beside the window's settings is chosen from the list and put back; the list opens from the keyboard.
TEST(RestoreButton, OpensTheListOfKeptRunsAndRestoresTheChosenOne)
{
    TestDatabase::execute(AccountTables::create());
    InstallationTree tree;
    QTemporaryDir settingsDir;
    const QString settingsPath = settingsDir.filePath(QStringLiteral("Settings.ini"));
    Form1 window(settingsPath);
    window.setFieldText(Field::txtSQLIP, TestDatabase::sqlAddress());
    window.setFieldText(Field::txtSQLPass, TestDatabase::password());
    ASSERT_EQ(window.fieldText(Field::txtSQLIP).section(QLatin1Char(','), 0, 0), QStringLiteral("127.0.0.1"));
    window.setFieldText(Field::txtMud3Path, tree.mud3Path());
    window.setFieldText(Field::txtExternalIP, QStringLiteral("198.51.100.7"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.findChild<QPushButton *>(QStringLiteral("cmdUpdateIP"))->click();
    ASSERT_TRUE(waitForJobEnd());
    ASSERT_NE(tree.read(3), InstallationTree::oldContent(3));

    QString message;
    int listed = 0;
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            message = box->text();
            box->accept();
        } else if (auto *dialog = qobject_cast<RestoreDialog *>(QApplication::activeModalWidget())) {
            auto *runs = dialog->findChild<QTableWidget *>(QStringLiteral("runTable"));
            auto *restore = dialog->findChild<QPushButton *>(QStringLiteral("restore"));
            // The table has the focus, and with it the newest run is chosen; Down would choose the next.
            listed = runs->rowCount();
            if (restore->isEnabled())
                restore->click();
        }
    });
    timer.start();
    // A mnemonic presses its button a moment after the key, and the dialog's loop runs until it is closed.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&message] { return !message.isEmpty(); }, 60000));
    timer.stop();

    EXPECT_EQ(listed, 3); // the run, then the originals of the installation and of the database
    EXPECT_EQ(message, QStringLiteral("The run was restored."));
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        EXPECT_EQ(tree.read(target), InstallationTree::oldContent(target)) << target;
    EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), QStringLiteral("TBL_PUBIPS")), AccountTables::initialRows(QStringLiteral("TBL_PUBIPS")));
    TestDatabase::execute(AccountTables::drop());
}
