#include "database/DbRecordset.h"

#include "database/DbConnection.h"
#include "database/RowKey.h"
#include "database/StatementTimeout.h"
#include "platform/Failure.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace {

QString causeOf(const QSqlError &error, const QString &fallback)
{
    const QString text = error.text().trimmed();
    return text.isEmpty() ? fallback : text;
}

} // namespace

DbRecordset::~DbRecordset()
{
    rollBack();
}

void DbRecordset::bind(DbConnection &connection)
{
    if (m_open)
        Close();
    m_connection = &connection;
    m_keyKnown = false;
    m_keyTable.clear();
    m_key.clear();
}

QSqlDatabase DbRecordset::database() const
{
    if (m_connection == nullptr || m_connection->state() != DbConnection::State::Open)
        throw Failure(QStringLiteral("The database connection is not open"));
    return m_connection->database();
}

void DbRecordset::Open(const QString &table, const QString &condition)
{
    open(table, condition, condition, {});
}

void DbRecordset::OpenRow(const QString &table, const std::vector<std::pair<QString, QVariant>> &key)
{
    // The key comes from a file, not from the tool: its columns must be the table's, and its values are bound.
    QSqlDatabase db = database();
    const QSqlRecord columns = db.record(table);
    if (columns.isEmpty())
        throw Failure(QStringLiteral("The database has no table %1").arg(table));
    QStringList conditions;
    QStringList shown;
    QList<QVariant> values;
    for (const auto &[name, value] : key) {
        const int index = columns.indexOf(name);
        if (index < 0)
            throw Failure(QStringLiteral("%1 has no column %2").arg(table, name));
        const QString column = db.driver()->escapeIdentifier(columns.fieldName(index), QSqlDriver::FieldName);
        conditions.append(column + (value.isNull() ? QStringLiteral(" IS NULL") : QStringLiteral(" = ?")));
        shown.append(name + (value.isNull() ? QStringLiteral(" IS NULL") : QStringLiteral(" = '") + value.toString() + QLatin1Char('\'')));
        if (!value.isNull())
            values.append(value);
    }
    if (conditions.isEmpty())
        throw Failure(QStringLiteral("No column of %1 says which row to read").arg(table));
    const QString where = QStringLiteral(" WHERE ");
    open(table, where + conditions.join(QStringLiteral(" AND ")), where + shown.join(QStringLiteral(" AND ")), values);
}

void DbRecordset::open(const QString &table, const QString &condition, const QString &shownCondition, const QList<QVariant> &values)
{
    if (m_open)
        throw Failure(QStringLiteral("The record set is already open"));
    m_table = table;
    m_condition = shownCondition;
    const QString source = QStringLiteral("Select * From ") + table + condition;
    m_hasCurrentRow = false;
    m_currentRow.clear();
    m_changes.clear();

    QSqlDatabase db = database();
    if (!db.transaction())
        throw Failure(causeOf(db.lastError(), QStringLiteral("The database refused to start a transaction")));
    m_inTransaction = true;
    m_open = true;
    if (!m_keyKnown || m_keyTable.compare(table, Qt::CaseInsensitive) != 0) {
        // Read once per target. An empty index (no key, or a lookup the driver could not answer) makes
        // Update address the row by the values that compare exactly; it still changes one row or none.
        m_key = db.primaryIndex(table);
        m_keyTable = table;
        m_keyKnown = true;
    }
    // Only the first row is kept; the query ends before anything else is sent, since a connection to
    // SQL Server takes no other command while a result is still pending.
    QString failure;
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        const bool prepared = StatementTimeout::prepare(query, source);
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (!prepared || !query.exec()) {
            failure = failureOf(query, QStringLiteral("The query failed: ") + source);
        } else {
            m_hasCurrentRow = query.next();
            if (query.lastError().isValid())
                failure = failureOf(query, QStringLiteral("The result could not be read: ") + source);
            else if (m_hasCurrentRow)
                m_currentRow = query.record();
        }
    }
    if (!failure.isEmpty())
        failAndClose(failure);
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
    // A NULL is bound with a type, as the drivers need one.
    const QVariant bound = value.isNull() ? QVariant(QMetaType::fromType<QString>()) : value;
    for (auto &change : m_changes) {
        if (change.first == index) {
            change.second = bound;
            return;
        }
    }
    m_changes.emplace_back(index, bound);
}

void DbRecordset::Update(const std::function<void(const QSqlRecord &written)> &beforeCommit)
{
    const QSqlRecord written = write();
    if (beforeCommit) {
        try {
            beforeCommit(written);
        } catch (...) {
            Close();
            throw;
        }
    }
    QSqlDatabase db = database();
    if (!db.commit())
        failAndClose(causeOf(db.lastError(), QStringLiteral("The database refused to commit the update of ") + m_table));
    m_inTransaction = false;
    m_changes.clear();
}

QSqlRecord DbRecordset::Rehearse()
{
    return write();
}

QStringList DbRecordset::keyColumns() const
{
    QStringList names;
    for (const int index : RowKey::columns(m_currentRow, m_key))
        names.append(m_currentRow.fieldName(index));
    return names;
}

QSqlRecord DbRecordset::write()
{
    if (!m_open)
        throw Failure(QStringLiteral("The record set is not open"));
    if (!m_hasCurrentRow)
        failAndClose(QStringLiteral("No row of %1 matches%2").arg(m_table, m_condition));
    if (!m_inTransaction || m_written)
        throw Failure(QStringLiteral("The row of %1 is already written; the record set must be opened again").arg(m_table));

    QSqlDatabase db = database();
    QSqlRecord written = m_currentRow;
    if (!m_changes.empty()) {
        const QString failure = writeChanges(db, written);
        if (!failure.isEmpty())
            failAndClose(failure);
    }
    m_written = true;
    return written;
}

QString DbRecordset::failureOf(const QSqlQuery &query, const QString &fallback) const
{
    const QString cause = causeOf(query.lastError(), fallback);
    if (!StatementTimeout::expired(query))
        return cause;
    return QStringLiteral("%1 was busy: no answer within %2 seconds, as when another session holds the table or one of its rows "
                          "locked. The server said: %3")
        .arg(m_table)
        .arg(StatementTimeout::Seconds)
        .arg(cause);
}

QString DbRecordset::writeChanges(QSqlDatabase &db, QSqlRecord &written) const
{
    const QSqlDriver *driver = db.driver();
    const auto identifier = [driver](const QString &name) { return driver->escapeIdentifier(name, QSqlDriver::FieldName); };
    const QList<int> address = RowKey::columns(m_currentRow, m_key);
    if (address.isEmpty())
        return QStringLiteral("%1 has no key and no column of a character or integer type to find the row read again; nothing was written").arg(m_table);
    // The row is found by its address as read, and read back by its address as written: the server compares
    // a column that the update set with the text sent as it converted that text for the column.
    const auto sentValue = [this](int index) -> std::optional<QVariant> {
        for (const auto &change : m_changes) {
            if (change.first == index)
                return change.second;
        }
        return std::nullopt;
    };
    QStringList assignments;
    for (const auto &change : m_changes)
        assignments.append(identifier(m_currentRow.fieldName(change.first)) + QStringLiteral(" = ?"));
    QStringList readConditions;
    QStringList writtenConditions;
    QList<QVariant> readValues;
    QList<QVariant> writtenValues;
    for (const int index : address) {
        const QString name = identifier(m_currentRow.fieldName(index));
        const QString isNull = name + QStringLiteral(" IS NULL");
        const QString equals = name + QStringLiteral(" = ?");
        readConditions.append(m_currentRow.isNull(index) ? isNull : equals);
        if (!m_currentRow.isNull(index))
            readValues.append(m_currentRow.value(index));
        const std::optional<QVariant> sent = sentValue(index);
        const QVariant writtenValue = sent ? *sent : m_currentRow.value(index);
        writtenConditions.append(writtenValue.isNull() ? isNull : equals);
        if (!writtenValue.isNull())
            writtenValues.append(writtenValue);
    }
    const QString conjunction = QStringLiteral(" AND ");
    // The table is the same fixed caption that the query named, so that both resolve alike.
    const QString statement = QStringLiteral("UPDATE ") + m_table + QStringLiteral(" SET ") + assignments.join(QStringLiteral(", "))
        + QStringLiteral(" WHERE ") + readConditions.join(conjunction);
    {
        QSqlQuery query(db);
        if (!StatementTimeout::prepare(query, statement))
            return causeOf(query.lastError(), QStringLiteral("The update could not be prepared: ") + statement);
        for (const auto &change : m_changes)
            query.addBindValue(change.second);
        for (const QVariant &value : readValues)
            query.addBindValue(value);
        if (!query.exec())
            return failureOf(query, QStringLiteral("The update failed: ") + statement);
        const int changed = query.numRowsAffected();
        if (changed != 1)
            return QStringLiteral("The update of %1 would have changed %2 rows instead of the one row read; nothing was written").arg(m_table).arg(changed);
    }

    const QString readBack = QStringLiteral("Select * From ") + m_table + QStringLiteral(" WHERE ") + writtenConditions.join(conjunction);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!StatementTimeout::prepare(query, readBack))
        return causeOf(query.lastError(), QStringLiteral("The row written could not be read back: ") + readBack);
    for (const QVariant &value : writtenValues)
        query.addBindValue(value);
    if (!query.exec())
        return failureOf(query, QStringLiteral("The row written could not be read back: ") + readBack);
    if (!query.next())
        return QStringLiteral("The row of %1 written could not be read back; nothing was written").arg(m_table);
    written = query.record();
    return {};
}

void DbRecordset::Close()
{
    rollBack();
    m_open = false;
    m_written = false;
    m_hasCurrentRow = false;
    m_currentRow.clear();
    m_changes.clear();
}

void DbRecordset::failAndClose(const QString &cause)
{
    Close();
    throw Failure(cause);
}

void DbRecordset::rollBack()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    // A lost connection cannot roll back; the server discards the transaction with the session.
    if (m_connection != nullptr && m_connection->state() == DbConnection::State::Open) {
        QSqlDatabase db = m_connection->database();
        db.rollback();
    }
}
