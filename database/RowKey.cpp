#include "database/RowKey.h"

#include "platform/Odbc.h"

#include <QSqlField>
#include <QSqlRecord>

bool RowKey::comparesExactly(int odbcSqlType)
{
    switch (odbcSqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return true;
    default:
        return false;
    }
}

QList<int> RowKey::columns(const QSqlRecord &row, const QStringList &key)
{
    QList<int> address;
    for (const QString &name : key) {
        const int index = row.indexOf(name);
        if (index < 0) {
            address.clear();
            break;
        }
        address.append(index);
    }
    if (!address.isEmpty())
        return address;
    for (int index = 0; index < row.count(); ++index) {
        if (comparesExactly(row.field(index).typeID()))
            address.append(index);
    }
    return address;
}
