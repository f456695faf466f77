#include "app/FileDiffModel.h"
#include "app/PreviewDialog.h"
#include "app/RestoreDialog.h"
#include "app/RowGrid.h"
#include "app/WorkerThread.h"

#include <QGuiApplication>
#include <QLabel>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

using Preview::TargetPreview;

TargetPreview target(int index, TargetPreview::Outcome outcome, const QString &cause = {})
{
    return {targetCaption(index), outcome, {}, index < FirstFileTarget ? TargetPreview::Kind::Table : TargetPreview::Kind::File, cause};
}

// A side of a row as "number text", the part that differs in [ ]; "-" for no line.
QString side(const FileDiffModel &model, int row, int number, int text)
{
    const QModelIndex cell = model.index(row, text);
    if (!cell.data().isValid())
        return QStringLiteral("-");
    QString shown = cell.data().toString();
    const int length = cell.data(FileDiffModel::ChangedLengthRole).toInt();
    if (length > 0)
        shown.insert(cell.data(FileDiffModel::ChangedFromRole).toInt() + length, QLatin1Char(']')).insert(cell.data(FileDiffModel::ChangedFromRole).toInt(), QLatin1Char('['));
    return model.index(row, number).data().toString() + QLatin1Char(' ') + shown;
}

} // namespace

// The summary counts the targets by the states they are listed with, a target that the run's check stops at
// failing too; a failure stands out, and the first one is chosen.
TEST(ReviewDialog, SummaryAndStatesAgreeWithThePreviewAndAFailureIsChosenFirst)
{
    using Outcome = TargetPreview::Outcome;
    struct Case {
        Preview::RunPreview preview;
        QString summary;
        QStringList listed; // "caption: state", "!" where it stands out
        int chosen;
    };
    const Case cases[] = {
        {{{}, {}, {target(0, Outcome::Changes), target(3, Outcome::Changes), target(4, Outcome::Unchanged)}},
         QStringLiteral("Changes: 1 file and 1 table.   Unchanged: 1 file.   Would fail: nothing."),
         {QStringLiteral("TBL_PUBIPS: changes"), QStringLiteral("Mir3Server\\DBSvr\\!ServerInfo.txt: changes"),
          QStringLiteral("Mir3Server\\DBSvr\\Setup.ini: unchanged")},
         0},
        {{{}, {}, {target(2, Outcome::Unchanged), target(5, Outcome::Changes), target(7, Outcome::Fails, QStringLiteral("missing"))}},
         QStringLiteral("Changes: 1 file.   Unchanged: 1 table.   Would fail: 1 file.\nThe run would stop at Mir3Server\\KLoginSvr\\Logsrv.ini; "
                        "the targets after it would keep their ticks."),
         {QStringLiteral("TBL_SERVERINFO: unchanged"), QStringLiteral("Mir3Server\\KLoginSvr\\!AddrTable.txt: changes"),
          QStringLiteral("Mir3Server\\KLoginSvr\\Logsrv.ini: would fail!")},
         2},
        {{CheckFailure{1, {}, QStringLiteral("a control character")}, {}, {target(1, Outcome::Changes, QStringLiteral("a control character")), target(14, Outcome::Changes)}},
         QStringLiteral("Changes: 1 file.   Unchanged: nothing.   Would fail: 1 table.\nThe run would stop before changing anything, at "
                        "TBL_SELECTGATEIPS; every target would keep its tick.\nfails: a control character"),
         {QStringLiteral("TBL_SELECTGATEIPS: would fail!"), QStringLiteral("Setup\\Plus_Setup.ini: changes")},
         0},
    };
    for (const Case &c : cases) {
        PreviewDialog dialog(c.preview);
        EXPECT_EQ(dialog.findChild<QLabel *>(QStringLiteral("summary"))->text(), c.summary);
        const auto *list = dialog.findChild<QTreeWidget *>(QStringLiteral("targets"));
        QStringList listed;
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            const QTreeWidgetItem *item = list->topLevelItem(row);
            listed.append(item->text(0) + QStringLiteral(": ") + item->text(1) + (item->font(0).bold() && !item->icon(0).isNull() ? QStringLiteral("!") : QString()));
        }
        EXPECT_EQ(listed, c.listed);
        EXPECT_EQ(list->indexOfTopLevelItem(list->currentItem()), c.chosen) << c.summary.toStdString();
    }
}

// Every row of both texts, those of a change marked "*" and within a changed line beside another the part that
// differs; every cell of a table's rows, those that change marked "*".
TEST(ReviewDialog, SideBySideAndGridMarkExactlyWhatChanges)
{
    struct FileCase {
        QByteArray before, after;
        QStringList rows;
    };
    const FileCase files[] = {
        {"[Server]\r\nAddr=192.0.2.1\r\nPort=7000\r\n", "[Server]\r\nAddr=198.51.100.7\r\nPort=7000\r\nName=Two\r\n",
         {QStringLiteral(" 1 [Server] | 1 [Server]"), QStringLiteral("*2 Addr=19[2.0.2.1] | 2 Addr=19[8.51.100.7]"),
          QStringLiteral(" 3 Port=7000 | 3 Port=7000"), QStringLiteral("*- | 4 Name=Two")}},
        // A line end other than the run's is a change of its own, shown as "␊".
        {"a\nb\r\n", "a\r\nc\r\nb\r\n", {QStringLiteral("*1 a[\u240A] | 1 a"), QStringLiteral("*- | 2 c"), QStringLiteral(" 2 b | 3 b")}},
    };
    for (const FileCase &c : files) {
        const Preview::FileDiff diff = Preview::fileDiff(c.before, c.after);
        const FileDiffModel model(diff, {});
        QStringList rows;
        for (int row = 0; row < model.rowCount(); ++row)
            rows.append((model.index(row, FileDiffModel::NewText).data(FileDiffModel::ChangedRole).toBool()
                                 || model.index(row, FileDiffModel::OldText).data(FileDiffModel::ChangedRole).toBool()
                             ? QStringLiteral("*")
                             : QStringLiteral(" "))
                        + side(model, row, FileDiffModel::OldNumber, FileDiffModel::OldText) + QStringLiteral(" | ")
                        + side(model, row, FileDiffModel::NewNumber, FileDiffModel::NewText));
        EXPECT_EQ(rows, c.rows);
    }

    // Of a file too large to hold whole, the lines that end in its first MiB, all of them one change.
    const Preview::FileDiff large = Preview::fileDiff(QByteArray("Line=0000000000000000000000\r\n").repeated(40000), "[Server]\r\n");
    EXPECT_EQ(large.oldLines.size(), 36157);
    EXPECT_EQ(large.oldLineCount, 40000);
    EXPECT_EQ(FileDiffModel(large, {}).rowCount(), 36157);

    RowGrid grid;
    grid.setRows({{QStringLiteral("WHERE FLD_ID = 1"), {{QStringLiteral("FLD_ID"), 1, 1}, {QStringLiteral("FLD_IP"), QStringLiteral("192.0.2.1"), QStringLiteral("198.51.100.7")}, {QStringLiteral("FLD_NOTE"), QVariant(), QVariant()}}, {}},
                  {QStringLiteral("WHERE FLD_ID = 2"), {}, QStringLiteral("no such row")}},
                 {QStringLiteral("Now"), QStringLiteral("After the run")});
    QStringList cells;
    for (int row = 0; row < grid.rowCount(); ++row) {
        QStringList line{grid.verticalHeaderItem(row)->text()};
        for (int column = 0; column < grid.columnCount(); ++column) {
            if (const QTableWidgetItem *cell = grid.item(row, column))
                line.append(cell->text() + (cell->data(RowGrid::ChangedRole).toBool() ? QStringLiteral("*") : QString()));
        }
        cells.append(line.join(QLatin1Char('|')));
    }
    EXPECT_EQ(cells, (QStringList{QStringLiteral("|WHERE FLD_ID = 1"), QStringLiteral("Now|\"1\"|\"192.0.2.1\"*|NULL"),
                                  QStringLiteral("After the run|\"1\"|\"198.51.100.7\"*|NULL"), QStringLiteral("|WHERE FLD_ID = 2"),
                                  QStringLiteral("|fails: no such row")}));
}

// While the worker has a job, neither Escape, nor the close button, nor reject() closes the dialog, and a
// second job is refused; whichever way the job ends, the cursor is the usual one again, before its result shows.
TEST(ReviewDialog, RefusesToCloseWhileBusyAndTheJobsEndReleasesTheCursor)
{
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("Settings.ini"));
    for (const bool windowCloses : {false, true}) {
        auto jobs = std::make_unique<WorkerThread>(settings);
        RestoreDialog dialog(*jobs, FormValues(), {});
        dialog.show();
        QSemaphore finish;
        bool releasedBeforeResult = false;
        const auto job = [&](RunWorker &, const FormValues &) {
            finish.acquire();
            return [&] { releasedBeforeResult = !jobs->busy() && QGuiApplication::overrideCursor() == nullptr; };
        };
        ASSERT_TRUE(jobs->start(FormValues(), job));
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        dialog.close();
        dialog.reject();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(jobs->start(FormValues(), job));

        finish.release();
        if (windowCloses) {
            jobs.reset();
        } else {
            EXPECT_TRUE(QTest::qWaitFor([&] { return releasedBeforeResult; }, 10000));
            dialog.reject();
            EXPECT_FALSE(dialog.isVisible());
        }
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the window closes: " << windowCloses;
    }
}
