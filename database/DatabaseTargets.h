#pragma once

#include "model/Fields.h"

#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <vector>

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

// One row as a row update changes it.
struct RowChange {
    QString table;
    QSqlRecord before;      // as the query read it
    QSqlRecord after;       // as the table holds it once written
    QStringList columns;    // those the row update sets, in order
    QStringList keyColumns; // those by which the row was found
    bool otherRowsMatch = false; // the condition found other rows too, which keep their values
};

// Is shown each row update's change after it is written and before the transaction that holds it commits,
// so that the old values can be kept; told (RowKeeper::changed) once the transaction has committed. Throws
// Failure when they cannot be kept; the transaction then takes the change back.
class RowKeeper {
public:
    virtual ~RowKeeper() = default;
    virtual void keepRow(const RowChange &change) = 0;
    virtual void changed() = 0;
};

class DbRecordset;

// Writes the columns set on the row that recordset has open, closes it and shows keeper the change, which the
// caller's transaction commits. change holds the table, the row as read and the columns set.
void writeOpenRow(DbRecordset &recordset, RowKeeper &keeper, RowChange change);

class Transaction;

// Commits the rows written and shown to keeper, then tells keeper they changed; also when the commit fails for
// want of the server's answer, since they may have changed all the same, and then throws that Failure.
void commitRows(Transaction &transaction, RowKeeper &keeper);

// Throws Failure when a value that target 0, 1 or 2 would write holds a control character.
void checkDatabaseTarget(int target, const FieldSource &fields);

// The work of database target 0, 1 or 2 on its table: its row updates in order, inside the caller's
// transaction. Throws Failure at the first failing row update; the transaction then takes back what the
// target and those before it wrote. The old values of each row update go to the keeper as it is written.
void runDatabaseTarget(int target, const QString &table, const FieldSource &fields, Module1 &module, RowKeeper &keeper);
