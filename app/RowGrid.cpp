#include "app/RowGrid.h"

#include "app/DiffColours.h"
#include "app/ShownText.h"
#include "preview/VisibleText.h"

#include <QHeaderView>
#include <algorithm>

RowGrid::RowGrid(QWidget *parent)
    : QTableWidget(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setWordWrap(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

void RowGrid::setRows(const std::vector<Preview::RowDiff> &rows, const QStringList &sides)
{
    clear();
    clearSpans();
    setRowCount(0);
    QStringList columns;
    for (const Preview::RowDiff &row : rows) {
        for (const Preview::ColumnChange &column : row.columns) {
            if (!columns.contains(column.column))
                columns.append(column.column);
        }
    }
    setColumnCount(int(std::max<qsizetype>(1, columns.size())));
    QStringList headers;
    for (const QString &column : columns)
        headers.append(visibleText(column));
    setHorizontalHeaderLabels(headers.isEmpty() ? QStringList{QString()} : headers);

    QStringList rowLabels;
    for (const Preview::RowDiff &row : rows) {
        if (!row.which.isEmpty()) {
            addLine(row.which, false);
            rowLabels.append(QString());
        }
        if (!row.cause.isEmpty()) {
            addLine(QStringLiteral("fails: ") + row.cause, true);
            rowLabels.append(QString());
        }
        if (row.columns.empty())
            continue;
        for (int side = 0; side < 2; ++side) {
            const int at = rowCount();
            insertRow(at);
            rowLabels.append(sides.value(side));
            for (const Preview::ColumnChange &column : row.columns) {
                const QString value = Preview::shownValue(side == 0 ? column.before : column.after);
                auto *cell = new QTableWidgetItem(shownWithin(value, value.size()));
                cell->setData(ChangedRole, column.changes());
                if (column.changes())
                    cell->setBackground(side == 0 ? DiffColours::oldText() : DiffColours::newText());
                setItem(at, int(columns.indexOf(column.column)), cell);
            }
        }
    }
    setVerticalHeaderLabels(rowLabels);

    // Each column as wide as its name and values, and all of them together as wide as the lines across them.
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics metrics(font());
    const QFontMetrics boldMetrics(bold);
    const int padding = 2 * metrics.averageCharWidth();
    int total = 0;
    int lines = 0;
    for (int row = 0; row < rowCount(); ++row) {
        if (columnSpan(row, 0) == columnCount() && item(row, 0))
            lines = std::max(lines, boldMetrics.horizontalAdvance(item(row, 0)->text()) + padding);
    }
    for (int column = 0; column < columnCount(); ++column) {
        int width = horizontalHeader()->sectionSizeHint(column);
        for (int row = 0; row < rowCount(); ++row) {
            if (columnSpan(row, column) == 1 && item(row, column))
                width = std::max(width, metrics.horizontalAdvance(item(row, column)->text()) + padding);
        }
        total += width;
        setColumnWidth(column, column == columnCount() - 1 ? std::max(width, width + lines - total) : width);
    }
}

void RowGrid::addLine(const QString &text, bool failure)
{
    const int at = rowCount();
    insertRow(at);
    auto *line = new QTableWidgetItem(text);
    QFont font = this->font();
    font.setBold(!failure);
    line->setFont(font);
    if (failure)
        line->setForeground(DiffColours::failure());
    setItem(at, 0, line);
    if (columnCount() > 1)
        setSpan(at, 0, 1, columnCount());
}
