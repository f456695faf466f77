#include "database/DbRecordset.h"

#include "database/DbConnection.h"
#include "database/OdbcStatement.h"
#include "database/RowKey.h"
#include "database/ServerDialect.h"
#include "database/StatementTimeout.h"
#include "platform/Odbc.h"

#include <QSqlField>
#include <optional>

namespace {

// A WHERE clause: "a = ?" for each value, "a IS NULL" for a NULL, and the values to bind for it.
class Conditions {
public:
    void add(const QString &column, const QVariant &value)
    {
        m_terms.append(serverDialect().quoted(column) + (value.isNull() ? QStringLiteral(" IS NULL") : QStringLiteral(" = ?")));
        if (!value.isNull())
            m_values.append(value);
    }
    // A condition of its own, with the values of its "?".
    void add(const QString &condition, const QList<QVariant> &values)
    {
        m_terms.append(QLatin1Char('(') + condition + QLatin1Char(')'));
        m_values += values;
    }
    QString text() const { return QStringLiteral(" WHERE ") + m_terms.join(QStringLiteral(" AND ")); }
    const QList<QVariant> &values() const { return m_values; }

private:
    QStringList m_terms;
    QList<QVariant> m_values;
};

bool isFixedLengthText(int odbcSqlType)
{
    return odbcSqlType == SQL_CHAR || odbcSqlType == SQL_WCHAR;
}

bool isText(int odbcSqlType)
{
    switch (odbcSqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
        return true;
    default:
        return false;
    }
}

// Whether a character column holds the text sent to it. SQL Server writes a character that the column's
// code page lacks as "?" without a word; a fixed-length column pads the text with blanks.
bool holdsAsSent(const QSqlField &column, const QVariant &sent)
{
    if (column.isNull() || sent.isNull())
        return column.isNull() == sent.isNull();
    QString held = column.value().toString();
    QString text = sent.toString();
    if (isFixedLengthText(column.typeID())) {
        while (held.endsWith(QLatin1Char(' ')))
            held.chop(1);
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
    }
    return held == text;
}

} // namespace

void DbRecordset::bind(DbConnection &connection)
{
    if (m_open)
        Close();
    m_connection = &connection;
    m_keys.clear();
}

DbConnection &DbRecordset::connection() const
{
    if (m_connection == nullptr || m_connection->state() != DbConnection::State::Open)
        throw Failure(QStringLiteral("The database connection is not open"));
    return *m_connection;
}

template <typename Step>
void DbRecordset::aboutTable(Step step)
{
    try {
        step();
    } catch (const StatementFailure &failure) {
        if (!failure.busy())
            failAndClose(failure.cause());
        Close();
        throw StatementFailure(QStringLiteral("%1 was busy: no answer within %2 seconds, as when another session holds the table or one of "
                                              "its rows locked. The server said: %3")
                                   .arg(m_table)
                                   .arg(StatementTimeout::LockSeconds)
                                   .arg(failure.cause()),
                               true);
    }
}

void DbRecordset::Open(const QString &table, const QString &condition)
{
    open(table, condition, condition, {});
}

void DbRecordset::OpenRow(const QString &table, const std::vector<std::pair<QString, QVariant>> &key)
{
    // The key comes from a file, not from the tool: its values are bound, its column names quoted.
    if (key.empty())
        throw Failure(QStringLiteral("No column of %1 says which row to read").arg(table));
    Conditions conditions;
    QStringList shown;
    for (const auto &[name, value] : key) {
        conditions.add(name, value);
        shown.append(name + (value.isNull() ? QStringLiteral(" IS NULL") : QStringLiteral(" = '") + value.toString() + QLatin1Char('\'')));
    }
    open(table, conditions.text(), QStringLiteral(" WHERE ") + shown.join(QStringLiteral(" AND ")), conditions.values());
}

void DbRecordset::open(const QString &table, const QString &condition, const QString &shownCondition, const QList<QVariant> &values)
{
    if (m_open)
        throw Failure(QStringLiteral("The record set is already open"));
    DbConnection &db = connection();
    m_table = table;
    m_condition = shownCondition;
    static const QString Where = QStringLiteral(" WHERE ");
    m_selection = condition.startsWith(Where) ? condition.mid(Where.size()) : QString();
    m_selectionValues = values;
    m_hasCurrentRow = false;
    m_otherRowsMatch = false;
    m_written = false;
    m_currentRow.clear();
    m_changes.clear();
    m_open = true;
    aboutTable([&] {
        // Only the first row is kept, and whether another follows; the result ends before anything else is
        // sent, since a connection to SQL Server takes no other command while a result is still pending.
        OdbcStatement query(db);
        query.execute(QStringLiteral("Select * From ") + table + condition, values);
        m_hasCurrentRow = query.next();
        if (m_hasCurrentRow) {
            m_currentRow = query.record();
            m_otherRowsMatch = query.next();
        }
    });
    if (m_hasCurrentRow)
        m_key = tableKey(table);
}

QStringList DbRecordset::tableKey(const QString &table)
{
    for (const auto &[name, key] : m_keys) {
        if (name.compare(table, Qt::CaseInsensitive) == 0)
            return key;
    }
    QStringList key;
    aboutTable([&] {
        OdbcStatement query(connection());
        query.execute(serverDialect().keyColumnsQuery, {table});
        const int column = query.record().indexOf(QStringLiteral("COLUMN_NAME"));
        if (column < 0)
            failAndClose(QStringLiteral("The server did not say which columns are the key of %1").arg(table));
        while (query.next())
            key.append(query.record().value(column).toString());
    });
    m_keys.emplace_back(table, key);
    return key;
}

void DbRecordset::setCollect(const QString &column, const QString &value)
{
    // A null text would reach the server as NULL; an empty field is an empty text.
    setCollectValue(column, value.isNull() ? QStringLiteral("") : value);
}

void DbRecordset::setCollectValue(const QString &column, const QVariant &value)
{
    if (!m_open)
        throw Failure(QStringLiteral("The record set is not open"));
    if (!m_hasCurrentRow)
        failAndClose(QStringLiteral("No row of %1 matches%2").arg(m_table, m_condition));
    const int index = m_currentRow.indexOf(column);
    if (index < 0)
        failAndClose(QStringLiteral("%1 has no column %2").arg(m_table, column));
    for (auto &change : m_changes) {
        if (change.first == index) {
            change.second = value;
            return;
        }
    }
    m_changes.emplace_back(index, value);
}

QStringList DbRecordset::keyColumns() const
{
    QStringList names;
    for (const int index : RowKey::columns(m_currentRow, m_key))
        names.append(m_currentRow.fieldName(index));
    return names;
}

QSqlRecord DbRecordset::Update()
{
    if (!m_open)
        throw Failure(QStringLiteral("The record set is not open"));
    if (!m_hasCurrentRow)
        failAndClose(QStringLiteral("No row of %1 matches%2").arg(m_table, m_condition));
    if (m_written)
        throw Failure(QStringLiteral("The row of %1 is already written; the record set must be opened again").arg(m_table));
    DbConnection &db = connection();
    // Nothing of a row update that fails half-way may stay: only the transaction can take the UPDATE back.
    if (!db.inTransaction())
        throw Failure(QStringLiteral("The row of %1 can be written only inside a transaction").arg(m_table));
    m_written = true;
    if (m_changes.empty())
        return m_currentRow;

    const QList<int> address = RowKey::columns(m_currentRow, m_key);
    if (address.isEmpty())
        failAndClose(QStringLiteral("%1 has no key and no column of a character or integer type to find the row read again; nothing was written")
                         .arg(m_table));
    const auto sentValue = [this](int index) -> std::optional<QVariant> {
        for (const auto &change : m_changes) {
            if (change.first == index)
                return change.second;
        }
        return std::nullopt;
    };

    QStringList assignments;
    QList<QVariant> values;
    for (const auto &[index, value] : m_changes) {
        assignments.append(serverDialect().quoted(m_currentRow.fieldName(index)) + QStringLiteral(" = ?"));
        values.append(value);
    }
    // The row is written only while it is still one that the query selects and holds what was read, its
    // address and the columns set alike, so that what another session wrote meanwhile is never overwritten; and
    // it is read back by its address as written.
    Conditions asRead;
    if (!m_selection.isEmpty())
        asRead.add(m_selection, m_selectionValues);
    Conditions asWritten;
    for (const int index : address) {
        asRead.add(m_currentRow.fieldName(index), m_currentRow.value(index));
        asWritten.add(m_currentRow.fieldName(index), sentValue(index).value_or(m_currentRow.value(index)));
    }
    for (const auto &change : m_changes) {
        if (!address.contains(change.first) && RowKey::comparesExactly(m_currentRow.field(change.first).typeID()))
            asRead.add(m_currentRow.fieldName(change.first), m_currentRow.value(change.first));
    }

    QSqlRecord written;
    aboutTable([&] {
        OdbcStatement update(db);
        update.execute(QStringLiteral("UPDATE ") + m_table + QStringLiteral(" SET ") + assignments.join(QStringLiteral(", ")) + asRead.text(),
                       values + asRead.values());
        const qint64 changed = update.rowsAffected();
        if (changed != 1)
            failAndClose(QStringLiteral("The update of %1 would have changed %2 rows instead of the one row read; nothing was written")
                             .arg(m_table)
                             .arg(changed));
        OdbcStatement query(db);
        query.execute(QStringLiteral("Select * From ") + m_table + asWritten.text(), asWritten.values());
        if (!query.next())
            failAndClose(QStringLiteral("The row of %1 could not be found again as written, as when a column cannot hold a character of the "
                                        "value sent; nothing was written")
                             .arg(m_table));
        written = query.record();
        if (query.next())
            failAndClose(QStringLiteral("The update would make the row of %1 the same as another row of it in every column that tells its rows "
                                        "apart, so that it could not be put back; nothing was written")
                             .arg(m_table));
    });
    for (const auto &[index, value] : m_changes) {
        const QSqlField column = written.field(m_currentRow.fieldName(index));
        if (isText(column.typeID()) && !holdsAsSent(column, value))
            failAndClose(QStringLiteral("The column %1 of %2 cannot hold \"%3\": it would hold \"%4\", as when the column's code page lacks a "
                                        "character of it; nothing was written")
                             .arg(column.name(), m_table, value.toString(), column.value().toString()));
    }
    return written;
}

void DbRecordset::Close()
{
    m_open = false;
    m_written = false;
    m_hasCurrentRow = false;
    m_otherRowsMatch = false;
    m_currentRow.clear();
    m_changes.clear();
}

void DbRecordset::failAndClose(const QString &cause)
{
    Close();
    throw Failure(cause);
}
