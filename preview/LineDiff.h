#pragma once

#include <QString>
#include <QStringList>

// A unified line diff, as `diff -u` prints its hunks: "@@ -a,b +c,d @@" headers, three lines of context,
// changes merged into one hunk where fewer than seven unchanged lines lie between them, removed lines
// ("-") before the added lines ("+") that replace them.
//
// Lines are compared with their line ends, so that a file that differs only in its line ends is not
// shown as equal. A line ending in CR LF is shown without it; a line ending in a bare LF is shown with
// "␊" after its text; a last line without any end is followed by "\ No newline at end of file". Control
// characters within a line are shown visible (see visibleText).
namespace LineDiff {

// The text cut into lines after each LF, every line keeping its end; no empty line follows a final LF.
QStringList splitKeepingEnds(const QString &text);

// The hunks that turn oldLines into newLines (both as splitKeepingEnds gives them); empty when they are equal.
QStringList unified(const QStringList &oldLines, const QStringList &newLines);

} // namespace LineDiff
