#pragma once

#include "model/Fields.h"

#include <QString>
#include <vector>

class Backup;
class FieldSource;
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

// The work of database target 0, 1 or 2 on its table: its row updates in order, each written whole or
// not at all. Throws Failure at the first failing row update; earlier ones stay written. The old values of
// each row update go to the backup before it changes anything.
void runDatabaseTarget(int target, const QString &table, const FieldSource &fields, Module1 &module, Backup &backup);
