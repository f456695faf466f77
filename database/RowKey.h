#pragma once

#include <QList>
#include <QStringList>

class QSqlRecord;

// The columns by which the update of a row finds the row that was read: WHERE column = value read, for each.
namespace RowKey {

// Whether a value of this ODBC SQL type (the type code that Qt's ODBC driver gives a field) comes back
// from the server exactly as stored and compares equal to itself: character and integer types. Time
// stamps, decimals and floating point come back shortened or rounded, binary and large text cannot
// be compared with "=" on every server; so a row is never looked for by them.
bool comparesExactly(int odbcSqlType);

// The row's key columns when the table has a key (its columns' names, in any case) and the row holds them
// all; otherwise every column that compares exactly. Empty when there is none: such a row cannot be found again.
QList<int> columns(const QSqlRecord &row, const QStringList &key);

} // namespace RowKey
