#pragma once

#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>
#include <vector>

class DbConnection;

// The program's one record set. It is bound to the connection before each database target, then serves
// one row update at a time: Open on the row update's query, setCollect for each column, one Update, Close.
//
// Open keeps the first row of the query's result as the current row; setCollect only records a change;
// Update writes every change in one UPDATE of that row alone, and only while the query still selects it and
// its columns still hold what Open read, then reads the row back as the table now holds it. The record set commits nothing: the caller's
// Transaction makes the row updates of a run last together, or undoes them all. Any failure leaves the
// record set closed. A statement that waits longer than StatementTimeout::LockSeconds for a lock fails with a
// cause saying that the table was busy.
class DbRecordset {
public:
    DbRecordset() = default;
    DbRecordset(const DbRecordset &) = delete;
    DbRecordset &operator=(const DbRecordset &) = delete;

    // Sets the connection that the next Open runs on. The lock is always optimistic: no row is held
    // while the result is open, the current row is written only by Update. Ends a row update that an
    // earlier failure left behind.
    void bind(DbConnection &connection);

    // Runs "Select * From " + table + condition on the bound connection. The table and the condition are
    // fixed texts of the tool, never typed values. Afterwards the current row is the first row of the result,
    // or there is none.
    void Open(const QString &table, const QString &condition);

    // Opens as Open does on the row of table that the key's columns and values find; the values are bound,
    // and the column names quoted.
    void OpenRow(const QString &table, const std::vector<std::pair<QString, QVariant>> &key);

    // Changes a column of the current row to a text that the server converts to the column's type.
    // The column is found without regard to case. Fails when there is no current row or no such column.
    void setCollect(const QString &column, const QString &value);
    // The same for a value that may be NULL.
    void setCollectValue(const QString &column, const QVariant &value);

    // Writes the changed columns of the current row in one statement and returns the row as the table then
    // holds it, with the values converted or padded as the server does it. Fails, writing nothing, when the
    // server refuses a value, when a character column would not hold the text sent (a character that its
    // code page lacks), when the row changed since Open, or when the row would be found again together with
    // another.
    QSqlRecord Update();

    // Ends the result and forgets any change not written.
    void Close();

    bool isOpen() const { return m_open; }
    // The current row as Open read it, before any change; empty when there is none.
    bool hasCurrentRow() const { return m_hasCurrentRow; }
    const QSqlRecord &currentRow() const { return m_currentRow; }
    // Whether the query found other rows after the current one, which a row update leaves as they are.
    bool otherRowsMatch() const { return m_otherRowsMatch; }
    // The columns by which the write finds the current row: the table's key, else every column that
    // compares exactly.
    QStringList keyColumns() const;
    // The names of the table's key columns, in key order, read once per binding; empty when it has no key.
    QStringList tableKey(const QString &table);

private:
    DbConnection &connection() const;
    void open(const QString &table, const QString &condition, const QString &shownCondition, const QList<QVariant> &values);
    // Runs step, which sends statements about the table. A statement that fails closes the record set, and
    // one that gave up waiting for a lock says that the table was busy, as a busy StatementFailure.
    template <typename Step>
    void aboutTable(Step step);
    [[noreturn]] void failAndClose(const QString &cause);

    DbConnection *m_connection = nullptr;
    bool m_open = false;
    bool m_written = false;
    QString m_table;
    QString m_condition;           // as a cause shows it
    QString m_selection;           // the condition after its WHERE, as sent
    QList<QVariant> m_selectionValues;
    bool m_hasCurrentRow = false;
    bool m_otherRowsMatch = false;
    QSqlRecord m_currentRow;
    // In the order first set; a column set again keeps its place and takes the later value.
    std::vector<std::pair<int, QVariant>> m_changes;

    // The key of each table seen since the binding, read once: a target's row updates share it.
    std::vector<std::pair<QString, QStringList>> m_keys;
    QStringList m_key; // the current row's table's
};
