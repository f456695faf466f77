#include "preview/LineDiff.h"

#include "preview/VisibleText.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int ContextLines = 3;

enum class Edit { Keep, Remove, Add };

// The shortest edit script by the longest common subsequence. The files are a few hundred lines at
// most, so the quadratic table is small; the common head and tail are left out of it all the same.
std::vector<Edit> editScript(const QStringList &oldLines, const QStringList &newLines)
{
    qsizetype head = 0;
    while (head < oldLines.size() && head < newLines.size() && oldLines.at(head) == newLines.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < oldLines.size() - head && tail < newLines.size() - head
           && oldLines.at(oldLines.size() - 1 - tail) == newLines.at(newLines.size() - 1 - tail))
        ++tail;

    const qsizetype n = oldLines.size() - head - tail;
    const qsizetype m = newLines.size() - head - tail;
    // common[i][j]: length of the longest common subsequence of the middle parts from i and j on.
    std::vector<int> common(static_cast<size_t>((n + 1) * (m + 1)), 0);
    const auto at = [m, &common](qsizetype i, qsizetype j) -> int & { return common[static_cast<size_t>(i * (m + 1) + j)]; };
    for (qsizetype i = n - 1; i >= 0; --i) {
        for (qsizetype j = m - 1; j >= 0; --j)
            at(i, j) = oldLines.at(head + i) == newLines.at(head + j) ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    }

    std::vector<Edit> edits(static_cast<size_t>(head), Edit::Keep);
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && oldLines.at(head + i) == newLines.at(head + j)) {
            edits.push_back(Edit::Keep);
            ++i;
            ++j;
        } else if (j == m || (i < n && at(i + 1, j) >= at(i, j + 1))) {
            // Removals first: a changed block reads as the old lines, then the new ones.
            edits.push_back(Edit::Remove);
            ++i;
        } else {
            edits.push_back(Edit::Add);
            ++j;
        }
    }
    edits.insert(edits.end(), static_cast<size_t>(tail), Edit::Keep);
    return edits;
}

// "-a,b" / "+c,d" as diff writes a range: the first line and the count, the count left out when it is
// one, and the line before the range when it is empty.
QString range(QChar side, qsizetype before, qsizetype count)
{
    QString text = side + QString::number(count == 0 ? before : before + 1);
    if (count != 1)
        text += QLatin1Char(',') + QString::number(count);
    return text;
}

void appendLine(QStringList &out, QChar marker, const QString &line)
{
    out.append(marker + LineDiff::shown(line));
    if (!line.endsWith(QLatin1Char('\n')))
        out.append(QStringLiteral("\\ No newline at end of file"));
}

} // namespace

QStringList LineDiff::splitKeepingEnds(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype newline = text.indexOf(QLatin1Char('\n'), start);
        const qsizetype end = newline < 0 ? text.size() : newline + 1;
        lines.append(text.mid(start, end - start));
        start = end;
    }
    return lines;
}

std::vector<LineDiff::Change> LineDiff::changes(const QStringList &oldLines, const QStringList &newLines)
{
    const std::vector<Edit> edits = editScript(oldLines, newLines);
    std::vector<Change> changes;
    qsizetype oldAt = 0;
    qsizetype newAt = 0;
    for (size_t e = 0; e < edits.size(); ++e) {
        if (edits[e] == Edit::Keep) {
            ++oldAt;
            ++newAt;
            continue;
        }
        // A run of edits between two kept lines: its removals come first, as the script makes them.
        if (e == 0 || edits[e - 1] == Edit::Keep)
            changes.push_back({oldAt, 0, newAt, 0});
        if (edits[e] == Edit::Remove) {
            ++changes.back().oldCount;
            ++oldAt;
        } else {
            ++changes.back().newCount;
            ++newAt;
        }
    }
    return changes;
}

QStringList LineDiff::unified(const QStringList &oldLines, const QStringList &newLines, const std::vector<Change> &changes)
{
    QStringList out;
    qsizetype hunkEnd = 0; // the old line after the last hunk's trailing context
    for (size_t first = 0; first < changes.size();) {
        // A hunk: this change and every later one at most 2 * context unchanged lines after the one before.
        size_t last = first;
        while (last + 1 < changes.size()
               && changes[last + 1].oldStart - (changes[last].oldStart + changes[last].oldCount) <= 2 * ContextLines)
            ++last;
        const qsizetype leading = std::min<qsizetype>(ContextLines, changes[first].oldStart - hunkEnd);
        qsizetype oldAt = changes[first].oldStart - leading;
        qsizetype newAt = changes[first].newStart - leading;
        const qsizetype oldStart = oldAt;
        const qsizetype newStart = newAt;
        QStringList lines;
        for (size_t c = first; c <= last; ++c) {
            for (; oldAt < changes[c].oldStart; ++oldAt, ++newAt)
                appendLine(lines, QLatin1Char(' '), oldLines.at(oldAt));
            for (qsizetype i = 0; i < changes[c].oldCount; ++i)
                appendLine(lines, QLatin1Char('-'), oldLines.at(oldAt++));
            for (qsizetype i = 0; i < changes[c].newCount; ++i)
                appendLine(lines, QLatin1Char('+'), newLines.at(newAt++));
        }
        // After a change only unchanged lines follow, as many on both sides.
        const qsizetype trailing = std::min<qsizetype>(ContextLines, oldLines.size() - oldAt);
        for (qsizetype i = 0; i < trailing; ++i, ++newAt)
            appendLine(lines, QLatin1Char(' '), oldLines.at(oldAt++));
        out.append(QStringLiteral("@@ ") + range(QLatin1Char('-'), oldStart, oldAt - oldStart) + QLatin1Char(' ')
                   + range(QLatin1Char('+'), newStart, newAt - newStart) + QStringLiteral(" @@"));
        out += lines;
        hunkEnd = oldAt;
        first = last + 1;
    }
    return out;
}

QString LineDiff::shown(const QString &line)
{
    if (line.endsWith(QLatin1String("\r\n")))
        return visibleText(line.chopped(2));
    if (line.endsWith(QLatin1Char('\n')))
        return visibleText(line.chopped(1)) + QChar(0x240A);
    return visibleText(line);
}

std::vector<LineDiff::Row> LineDiff::sideBySide(qsizetype oldCount, qsizetype newCount, const std::vector<Change> &changes)
{
    std::vector<Row> rows;
    rows.reserve(size_t(std::max(oldCount, newCount)));
    qsizetype oldAt = 0;
    qsizetype newAt = 0;
    for (const Change &change : changes) {
        for (; oldAt < change.oldStart; ++oldAt, ++newAt)
            rows.push_back({oldAt, newAt, false});
        for (qsizetype i = 0; i < std::max(change.oldCount, change.newCount); ++i)
            rows.push_back({i < change.oldCount ? oldAt + i : -1, i < change.newCount ? newAt + i : -1, true});
        oldAt += change.oldCount;
        newAt += change.newCount;
    }
    for (; oldAt < oldCount && newAt < newCount; ++oldAt, ++newAt)
        rows.push_back({oldAt, newAt, false});
    return rows;
}

LineDiff::ChangedText LineDiff::changedText(const QString &oldLine, const QString &newLine)
{
    const qsizetype shorter = std::min(oldLine.size(), newLine.size());
    qsizetype head = 0;
    while (head < shorter && oldLine.at(head) == newLine.at(head))
        ++head;
    // A character outside the BMP is marked whole, never half of its surrogate pair.
    if (head > 0 && oldLine.at(head - 1).isHighSurrogate())
        --head;
    qsizetype tail = 0;
    while (tail < shorter - head && oldLine.at(oldLine.size() - 1 - tail) == newLine.at(newLine.size() - 1 - tail))
        ++tail;
    if (tail > 0 && oldLine.at(oldLine.size() - tail).isLowSurrogate())
        --tail;
    return {{head, oldLine.size() - head - tail}, {head, newLine.size() - head - tail}};
}
