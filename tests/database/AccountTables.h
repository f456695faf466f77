#pragma once

#include "model/FormValues.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The three tables of the account database as the tests lay them out: the columns the tool names, a
// key column FLD_ID and a column FLD_REMARK that the tool does not name and must leave alone.
namespace AccountTables {

// Drops and creates the three tables with their rows:
//   TBL_PUBIPS         1 LoginGW 192.0.2.1 | 2 LoginServer 192.0.2.2 | 3 SET1 DB Conn 192.0.2.3 | 4 SET1 GameSrv1 192.0.2.4
//   TBL_SELECTGATEIPS  1 MIR3 192.0.2.5 'Old Gate' 7100
//   TBL_SERVERINFO     1 MIR3 'Old Server'
QStringList create();
QStringList drop();

// The table's rows in key order, each as "col|col|...", NULL as "<null>".
QStringList rows(QSqlDatabase database, const QString &table);

// The rows that create() lays down, in the form rows() returns.
QStringList initialRows(const QString &table);

// A form whose field values differ from every initial row, with only the database targets ticked.
void setNewValues(FormValues &form);
void tickOnlyDatabaseTargets(FormValues &form);

// What the three tables hold after the targets ran with setNewValues().
QStringList updatedRows(const QString &table);

} // namespace AccountTables
