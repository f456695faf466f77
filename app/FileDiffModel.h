#pragma once

#include "preview/Preview.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

// A file's text as it is and as it would be, as the rows of a side-by-side view: the old line's number and
// text beside the new line's. The lines of a change are marked, and within a changed line beside another one
// the part of its text that differs; a side without a line stays empty. The rows are made once; their texts
// are read from the diff as the view shows them, so that a file of any length opens at once.
class FileDiffModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { OldNumber, OldText, NewNumber, NewText, ColumnCount };
    enum Role {
        ChangedRole = Qt::UserRole, // bool: the line is part of a change
        ChangedFromRole,            // int: where the part of the text that differs starts
        ChangedLengthRole,          // int: its length, 0 for none
    };

    // headers: how the two sides are named, as "Now" and "After the run". diff must outlive the model.
    FileDiffModel(const Preview::FileDiff &diff, const QStringList &headers, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The rows at which a change begins, top down.
    const std::vector<int> &changeStarts() const { return m_changeStarts; }

private:
    const Preview::FileDiff &m_diff;
    const QStringList m_headers;
    std::vector<LineDiff::Row> m_rows;
    std::vector<int> m_changeStarts;
};
