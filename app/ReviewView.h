#pragma once

#include "preview/Preview.h"

#include <QStringList>
#include <QWidget>
#include <vector>

class QLabel;
class QSplitter;
class QStackedWidget;
class QTreeWidget;
class RowGrid;
class SideBySideView;

// A review of what a run or a restore would change, as diff and merge tools show it: a summary on top, every
// target listed with its state, and beside the list the chosen one: a file's text side by side as it is and as
// it would be, a table's rows as a grid, or why it would fail. A failure stands out and is chosen first. The
// list has the keyboard; Tab leads on to the chosen target's view.
class ReviewView : public QWidget {
    Q_OBJECT

public:
    enum class Look { Changes, Unchanged, Fails };

    // One target of a run, or one thing a restore puts back.
    struct Entry {
        QString name;
        QString state;
        Look look = Look::Changes;
        bool tickable = false; // listed with a tick, clear at first
        QString cause = {};    // why it would fail: in place of what it would change, or above it
        QString note = {};     // said above what it would change
        const Preview::FileDiff *file = nullptr; // must outlive the view's entries
        std::vector<Preview::RowDiff> rows = {};
    };

    // heading: the list's, as "Target". sides: how the old and the new side are named, as "Now" and "After the run".
    ReviewView(const QString &heading, const QStringList &sides, QWidget *parent = nullptr);

    // The summary on top, and below it what stops everything (a failure of the whole), in red.
    void setSummary(const QString &summary, const QStringList &stop = {});
    void setEntries(std::vector<Entry> entries);
    // The names of the entries that are ticked.
    QStringList ticked() const;

    // "12 files and 3 tables", "1 row", or "nothing": as many of each thing, those of which there are none left out.
    static QString countOf(int files, int others, const QString &other);
    // The size of a dialog that holds a review: room for a file's lines side by side, within the screen.
    static QSize dialogSize(const QWidget *dialog);

private:
    void choose(int entry);
    QString shownPartOf(const Preview::FileDiff &file) const;

    const QStringList m_sides;
    std::vector<Entry> m_entries;
    QLabel *m_summary;
    QSplitter *m_splitter;
    QTreeWidget *m_list;
    QLabel *m_remark;
    QStackedWidget *m_detail;
    QLabel *m_message;
    SideBySideView *m_file;
    RowGrid *m_grid;
};
