#include "app/Form1.h"
#include "app/PreviewDialog.h"
#include "app/RowGrid.h"
#include "database/AccountTables.h"
#include "JobEnd.h"
#include "support/InstallationTree.h"
#include "support/TestDatabase.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// What the preview dialog showed while the press ran its event loop; closes it with Escape, as a user would.
struct ShownPreview {
    bool shown = false;
    QString title;
    QString summary;
    QStringList targets; // "caption: state", as listed
    QStringList grid;    // the chosen target's cells, those that change marked "*"
    bool monospaced = false;
    bool resizable = false;
    bool closedByEscape = false;
};

class PreviewButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        TestDatabase::execute(AccountTables::create());
        // Never let a press reach the built-in LAN address: the preview reads the loopback test database.
        window.setFieldText(Field::txtSQLIP, TestDatabase::sqlAddress());
        window.setFieldText(Field::txtSQLPass, TestDatabase::password());
        ASSERT_EQ(window.fieldText(Field::txtSQLIP).section(QLatin1Char(','), 0, 0), QStringLiteral("127.0.0.1"));
        ASSERT_TRUE(settingsDir.isValid());
        window.setFieldText(Field::txtMud3Path, tree.mud3Path().chopped(1));
        window.setFieldText(Field::txtExternalIP, QStringLiteral("198.51.100.7"));
    }
    void TearDown() override { TestDatabase::execute(AccountTables::drop()); }

    ShownPreview pressAndClose()
    {
        ShownPreview seen;
        QTimer timer;
        timer.setInterval(50);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<PreviewDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            timer.stop();
            seen.shown = true;
            seen.title = dialog->windowTitle();
            seen.summary = dialog->findChild<QLabel *>(QStringLiteral("summary"))->text();
            const auto *targets = dialog->findChild<QTreeWidget *>(QStringLiteral("targets"));
            for (int row = 0; row < targets->topLevelItemCount(); ++row)
                seen.targets.append(targets->topLevelItem(row)->text(0) + QStringLiteral(": ") + targets->topLevelItem(row)->text(1));
            const auto *grid = dialog->findChild<RowGrid *>(QStringLiteral("rowGrid"));
            for (int row = 0; row < grid->rowCount(); ++row) {
                for (int column = 0; column < grid->columnCount(); ++column) {
                    if (const QTableWidgetItem *cell = grid->item(row, column))
                        seen.grid.append(cell->text() + (cell->data(RowGrid::ChangedRole).toBool() ? QStringLiteral("*") : QString()));
                }
            }
            seen.monospaced = QFontInfo(dialog->findChild<QWidget *>(QStringLiteral("fileView"))->font()).fixedPitch();
            seen.resizable = dialog->isSizeGripEnabled() && dialog->minimumSize() != dialog->maximumSize();
            // To the list of targets, which has the focus within the dialog; the key reaches the dialog from there.
            QWidget *focused = dialog->focusWidget();
            QTest::keyClick(focused ? focused : dialog, Qt::Key_Escape);
            seen.closedByEscape = !dialog->isVisible();
            if (!seen.closedByEscape)
                dialog->reject();
        });
        timer.start();
        window.findChild<QPushButton *>(QStringLiteral("cmdPreview"))->click();
        EXPECT_TRUE(waitForJobEnd());
        return seen;
    }

    QStringList fieldTexts() const
    {
        QStringList texts;
        for (const FieldDefinition &definition : fieldDefinitions())
            texts.append(window.fieldText(definition.field));
        return texts;
    }

    QList<bool> ticks() const
    {
        QList<bool> result;
        for (int target = 0; target < TargetCount; ++target)
            result.append(window.isTicked(target));
        return result;
    }

    InstallationTree tree;
    QTemporaryDir settingsDir;
    QString settingsPath = settingsDir.filePath(QStringLiteral("Settings.ini"));
    Form1 window{settingsPath};
};

} // namespace

TEST_F(PreviewButtonTest, ShowsWhatTheRunWouldChangeAndChangesNothing)
{
    window.clearTick(1);
    window.clearTick(6);
    const QStringList fieldsBefore = fieldTexts();
    const QList<bool> ticksBefore = ticks();
    window.show();

    const ShownPreview seen = pressAndClose();

    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, QStringLiteral("Preview Changes"));
    EXPECT_TRUE(seen.monospaced);
    EXPECT_TRUE(seen.resizable);
    EXPECT_TRUE(seen.closedByEscape);
    EXPECT_EQ(seen.summary, QStringLiteral("Changes: 11 files and 2 tables.   Unchanged: nothing.   Would fail: nothing."));
    QStringList targets;
    for (int target : {0, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14})
        targets.append(targetCaption(target) + QStringLiteral(": changes"));
    EXPECT_EQ(seen.targets, targets);
    // The first change is chosen: the row that LoginServer's address changes in, as the table would hold it.
    EXPECT_TRUE(seen.grid.contains(QStringLiteral("\"192.0.2.2\"*")) && seen.grid.contains(QStringLiteral("\"198.51.100.7\"*")))
        << seen.grid.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // No field normalised, no tick cleared, no file, row or Settings.ini written.
    EXPECT_EQ(fieldTexts(), fieldsBefore);
    EXPECT_EQ(ticks(), ticksBefore);
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        EXPECT_EQ(tree.read(target), InstallationTree::oldContent(target)) << target;
    for (const QString &table : {QStringLiteral("TBL_PUBIPS"), QStringLiteral("TBL_SELECTGATEIPS"), QStringLiteral("TBL_SERVERINFO")})
        EXPECT_EQ(AccountTables::rows(TestDatabase::admin(), table), AccountTables::initialRows(table)) << table.toStdString();
    EXPECT_FALSE(QFile::exists(settingsPath));
}
