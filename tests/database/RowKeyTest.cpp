#include "database/RowKey.h"
#include "platform/Odbc.h"

#include <QSqlField>
#include <QSqlRecord>
#include <gtest/gtest.h>


namespace {

struct Column {
    const char *name;
    int odbcSqlType;
};

// A row as Qt's ODBC driver describes it: each field carries the ODBC SQL type of its column.
QSqlRecord rowOf(std::initializer_list<Column> columns)
{
    QSqlRecord row;
    for (const Column &column : columns) {
        QSqlField field(QString::fromLatin1(column.name));
        field.setSqlType(column.odbcSqlType);
        row.append(field);
    }
    return row;
}

} // namespace

TEST(RowKey, CharacterAndIntegerTypesCompareExactly)
{
    for (const int type : {SQL_CHAR, SQL_VARCHAR, SQL_WCHAR, SQL_WVARCHAR, SQL_TINYINT, SQL_SMALLINT, SQL_INTEGER, SQL_BIGINT})
        EXPECT_TRUE(RowKey::comparesExactly(type)) << type;
}

// As SQL Server's drivers report them: datetime, datetime2 and smalldatetime as SQL_TYPE_TIMESTAMP,
// time(7) and datetimeoffset as types of their own (-154, -155), decimal and numeric, money as
// SQL_DECIMAL, float and real, text and ntext as the long character types, image and varbinary, GUIDs
// and sql_variant (-150).
TEST(RowKey, TimeStampsDecimalsFloatingPointBinaryAndLargeTextDoNot)
{
    for (const int type : {SQL_TYPE_TIMESTAMP, SQL_TYPE_DATE, SQL_TYPE_TIME, -154, -155, SQL_DECIMAL, SQL_NUMERIC, SQL_FLOAT, SQL_REAL,
                           SQL_DOUBLE, SQL_LONGVARCHAR, SQL_WLONGVARCHAR, SQL_BINARY, SQL_VARBINARY, SQL_LONGVARBINARY, SQL_GUID, -150})
        EXPECT_FALSE(RowKey::comparesExactly(type)) << type;
}

TEST(RowKey, KeylessRowIsAddressedByItsExactColumnsOnly)
{
    const QSqlRecord row = rowOf({{"FLD_GAMETYPE", SQL_VARCHAR}, {"FLD_CREATED", SQL_TYPE_TIMESTAMP}, {"FLD_SERVERNAME", SQL_WVARCHAR},
                                  {"FLD_RATE", SQL_DECIMAL}, {"FLD_NOTE", SQL_WLONGVARCHAR}, {"FLD_ORDER", SQL_INTEGER}});
    EXPECT_EQ(RowKey::columns(row, {}), QList<int>({0, 2, 5}));
}

TEST(RowKey, KeyedRowIsAddressedByItsKey)
{
    const QSqlRecord row = rowOf({{"FLD_GAMETYPE", SQL_VARCHAR}, {"FLD_CREATED", SQL_TYPE_TIMESTAMP}, {"FLD_ID", SQL_INTEGER}});
    EXPECT_EQ(RowKey::columns(row, {QStringLiteral("fld_id")}), QList<int>({2}));

    // A key that the row does not hold whole counts as none.
    EXPECT_EQ(RowKey::columns(row, {QStringLiteral("fld_id"), QStringLiteral("FLD_MISSING")}), QList<int>({0, 2}));
}

TEST(RowKey, RowWithoutKeyOrExactColumnCannotBeAddressed)
{
    EXPECT_TRUE(RowKey::columns(rowOf({{"FLD_CREATED", SQL_TYPE_TIMESTAMP}, {"FLD_RATE", SQL_NUMERIC}}), {}).isEmpty());
}
