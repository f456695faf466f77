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
    if (line.endsWith(QLatin1String("\r\n"))) {
        out.append(marker + visibleText(line.chopped(2)));
    } else if (line.endsWith(QLatin1Char('\n'))) {
        out.append(marker + visibleText(line.chopped(1)) + QChar(0x240A));
    } else {
        out.append(marker + visibleText(line));
        out.append(QStringLiteral("\\ No newline at end of file"));
    }
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

QStringList LineDiff::unified(const QStringList &oldLines, const QStringList &newLines)
{
    const std::vector<Edit> edits = editScript(oldLines, newLines);
    const auto size = static_cast<qsizetype>(edits.size());
    QStringList out;
    qsizetype oldBefore = 0; // lines of each side before edit e
    qsizetype newBefore = 0;
    qsizetype hunkEnd = 0; // the edit after the last hunk's trailing context
    qsizetype e = 0;
    while (e < size) {
        if (edits[static_cast<size_t>(e)] == Edit::Keep) {
            ++oldBefore;
            ++newBefore;
            ++e;
            continue;
        }
        // A hunk: this change and every later one fewer than 2 * context unchanged lines away.
        qsizetype last = e;
        for (qsizetype next = e + 1; next < size && next - last <= 2 * ContextLines + 1; ++next) {
            if (edits[static_cast<size_t>(next)] != Edit::Keep)
                last = next;
        }
        const qsizetype leading = std::min<qsizetype>(ContextLines, e - hunkEnd);
        const qsizetype begin = e - leading;
        const qsizetype end = std::min(size, last + 1 + ContextLines);

        QStringList lines;
        qsizetype oldAt = oldBefore - leading;
        qsizetype newAt = newBefore - leading;
        const qsizetype oldStart = oldAt;
        const qsizetype newStart = newAt;
        for (qsizetype k = begin; k < end; ++k) {
            switch (edits[static_cast<size_t>(k)]) {
            case Edit::Keep:
                appendLine(lines, QLatin1Char(' '), oldLines.at(oldAt++));
                ++newAt;
                break;
            case Edit::Remove:
                appendLine(lines, QLatin1Char('-'), oldLines.at(oldAt++));
                break;
            case Edit::Add:
                appendLine(lines, QLatin1Char('+'), newLines.at(newAt++));
                break;
            }
        }
        out.append(QStringLiteral("@@ ") + range(QLatin1Char('-'), oldStart, oldAt - oldStart) + QLatin1Char(' ')
                   + range(QLatin1Char('+'), newStart, newAt - newStart) + QStringLiteral(" @@"));
        out += lines;
        oldBefore = oldAt;
        newBefore = newAt;
        e = hunkEnd = end;
    }
    return out;
}
