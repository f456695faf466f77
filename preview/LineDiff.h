#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// A line diff: where two texts differ, as a unified diff (`diff -u`'s hunks: "@@ -a,b +c,d @@" headers, three
// lines of context, changes merged into one hunk where fewer than seven unchanged lines lie between them,
// removed lines ("-") before the added lines ("+") that replace them) and as the rows of a side-by-side view.
//
// Lines are compared with their line ends, so that a file that differs only in its line ends is not
// shown as equal. A line ending in CR LF is shown without it; a line ending in a bare LF is shown with
// "␊" after its text; a last line without any end is followed by "\ No newline at end of file". Control
// characters within a line are shown visible (see visibleText).
namespace LineDiff {

// oldCount lines from oldStart are replaced by newCount lines from newStart; either count may be zero.
struct Change {
    qsizetype oldStart;
    qsizetype oldCount;
    qsizetype newStart;
    qsizetype newCount;
};

// The text cut into lines after each LF, every line keeping its end; no empty line follows a final LF.
QStringList splitKeepingEnds(const QString &text);

// The shortest set of changes that turns oldLines into newLines, in order; between two of them, and before
// the first and after the last, the lines are the same on both sides. Empty when they are equal.
std::vector<Change> changes(const QStringList &oldLines, const QStringList &newLines);

// The hunks of those changes; empty when there are none.
QStringList unified(const QStringList &oldLines, const QStringList &newLines, const std::vector<Change> &changes);

// A line as a diff shows it: without CR LF, a bare LF as "␊", its control characters made visible.
QString shown(const QString &line);

// One row of a side-by-side view: the index of the old line and of the new line shown in it, -1 for none.
// A change's old lines stand beside its new ones in order; the longer side continues beside nothing.
struct Row {
    qsizetype oldLine;
    qsizetype newLine;
    bool changed;
};
std::vector<Row> sideBySide(qsizetype oldCount, qsizetype newCount, const std::vector<Change> &changes);

// Where an old line and the new line beside it differ: the part of each between what they share at the start
// and at the end, as the diff viewers mark it within a changed line.
struct Span {
    qsizetype start;
    qsizetype length;
};
struct ChangedText {
    Span oldText;
    Span newText;
};
ChangedText changedText(const QString &oldLine, const QString &newLine);

} // namespace LineDiff
