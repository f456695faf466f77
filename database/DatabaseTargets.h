#pragma once

#include "model/Fields.h"

#include <QString>
#include <vector>

class FieldSource;
class QSqlRecord;
struct Module1;

// One row update of a database target: the rows its condition selects (the first of them is changed)
// and the columns it sets, in order, each to the trimmed text of a field.
struct RowUpdate {
    struct Assignment {
        const char *column;
        Field field;
    };
    const char *condition; // begins with a space: it follows the table name directly
    std::vector<Assignment> assignments;
};

// The row updates of target 0, 1 or 2, in the order in which they run.
const std::vector<RowUpdate> &rowUpdatesOf(int target);

// Is shown each row as it was read, before a row update changes it, so that its old values can be kept.
// Throws Failure when they cannot be kept; the row is then left as it was.
class RowKeeper {
public:
    virtual ~RowKeeper() = default;
    virtual void keepRow(const QString &table, const RowUpdate &rowUpdate, const QSqlRecord &row) = 0;
};

// The work of database target 0, 1 or 2 on its table: its row updates in order, each written whole or
// not at all. Throws Failure at the first failing row update; earlier ones stay written. The old values of
// each row update go to the keeper before it changes anything.
void runDatabaseTarget(int target, const QString &table, const FieldSource &fields, Module1 &module, RowKeeper &keeper);
