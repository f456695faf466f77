#pragma once

#include "preview/Preview.h"

#include <QTableWidget>

// A table's rows as a grid of their columns: for each row how it is found, then its values as they are and
// as they would be, the cells that change marked; or why it cannot be written.
class RowGrid : public QTableWidget {
    Q_OBJECT

public:
    // Whether a cell's value changes.
    static constexpr int ChangedRole = Qt::UserRole;

    explicit RowGrid(QWidget *parent = nullptr);

    // sides: how the old and the new values are named, as "Now" and "After the run".
    void setRows(const std::vector<Preview::RowDiff> &rows, const QStringList &sides);

private:
    // A line across the whole grid: how a row is found, or why it fails.
    void addLine(const QString &text, bool failure);
};
