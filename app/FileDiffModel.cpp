#include "app/FileDiffModel.h"

#include "app/DiffColours.h"
#include "app/ShownText.h"

#include <QColor>

namespace {

// Made visible from no more of the line than the view shows: the line end, when there is one, and two
// characters more than it keeps.
QString shownLine(const QString &line)
{
    return shownWithin(LineDiff::shown(line.left(MaxShownLength + 2)), line.size());
}

} // namespace

FileDiffModel::FileDiffModel(const Preview::FileDiff &diff, const QStringList &headers, QObject *parent)
    : QAbstractTableModel(parent)
    , m_diff(diff)
    , m_headers(headers)
    , m_rows(LineDiff::sideBySide(diff.oldLines.size(), diff.newLines.size(), diff.changes))
{
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (m_rows[row].changed && (row == 0 || !m_rows[row - 1].changed))
            m_changeStarts.push_back(int(row));
    }
}

int FileDiffModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FileDiffModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileDiffModel::data(const QModelIndex &index, int role) const
{
    const LineDiff::Row &row = m_rows.at(size_t(index.row()));
    const bool oldSide = index.column() == OldNumber || index.column() == OldText;
    const bool text = index.column() == OldText || index.column() == NewText;
    const qsizetype line = oldSide ? row.oldLine : row.newLine;
    if (line < 0)
        return role == Qt::BackgroundRole ? QVariant(DiffColours::nothing()) : QVariant();
    const QStringList &lines = oldSide ? m_diff.oldLines : m_diff.newLines;

    switch (role) {
    case Qt::DisplayRole:
        return text ? shownLine(lines.at(line)) : QString::number(line + 1);
    case Qt::ToolTipRole: // the whole of a line too long for its column, up to what a line can be shown as
        return text ? shownLine(lines.at(line)) : QVariant();
    case Qt::TextAlignmentRole:
        return text ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        return text ? QVariant() : QVariant(QColor(Qt::darkGray));
    case Qt::BackgroundRole:
        if (!row.changed)
            return {};
        return oldSide ? DiffColours::oldLine() : DiffColours::newLine();
    case ChangedRole:
        return row.changed;
    case ChangedFromRole:
    case ChangedLengthRole: {
        // Only a line beside another one has a part that differs; a line alone is all new or all gone.
        if (!text || !row.changed || row.oldLine < 0 || row.newLine < 0)
            return 0;
        const LineDiff::ChangedText changed =
            LineDiff::changedText(shownLine(m_diff.oldLines.at(row.oldLine)), shownLine(m_diff.newLines.at(row.newLine)));
        const LineDiff::Span span = oldSide ? changed.oldText : changed.newText;
        return int(role == ChangedFromRole ? span.start : span.length);
    }
    default:
        return {};
    }
}

QVariant FileDiffModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == OldText)
        return m_headers.value(0);
    if (section == NewText)
        return m_headers.value(1);
    return QString();
}
