#pragma once

#include <QList>
#include <QSqlIndex>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <utility>
#include <vector>

class DbConnection;
class QSqlDatabase;
class QSqlQuery;

// The program's one record set. It is bound to the connection before each database target, then serves
// one row update at a time: Open on the row update's query, setCollect for each column, one Update, Close.
//
// A row update is all or nothing. Open starts a short transaction and keeps the first row of the query's
// result as the current row; setCollect only records a change; Update writes every change in one
// UPDATE of that row alone, reads the row back as the table now holds it, and commits. Any failure rolls the transaction back and leaves the record
// set closed, so nothing of the failed row update is ever written. No statement waits longer than
// StatementTimeout::Seconds; one that does fails with a cause saying that the table was busy.
class DbRecordset {
public:
    DbRecordset() = default;
    DbRecordset(const DbRecordset &) = delete;
    DbRecordset &operator=(const DbRecordset &) = delete;
    ~DbRecordset();

    // Sets the connection that the next Open runs on. The lock is always optimistic: no row is held
    // while the result is open, the current row is written only by Update. Ends a row update that an
    // earlier failure left behind.
    void bind(DbConnection &connection);

    // Runs "Select * From " + table + condition on the bound connection, inside a new transaction.
    // The table and the condition are fixed texts of the tool, never typed values. Afterwards the
    // current row is the first row of the result, or there is none.
    void Open(const QString &table, const QString &condition);

    // Opens as Open does on the row of table that the key's columns and values find; the values are bound,
    // and the columns must be the table's.
    void OpenRow(const QString &table, const std::vector<std::pair<QString, QVariant>> &key);

    // Changes a column of the current row to a text that the server converts to the column's type.
    // The column is found without regard to case. Fails when there is no current row or no such column.
    void setCollect(const QString &column, const QString &value);
    // The same for a value that may be NULL.
    void setCollectValue(const QString &column, const QVariant &value);

    // Writes the changed columns of the current row in one statement and commits it. Before the commit,
    // beforeCommit is shown the row as the table then holds it; when it throws, nothing is written.
    void Update(const std::function<void(const QSqlRecord &written)> &beforeCommit = {});

    // Writes as Update does, without committing: returns the row as the table would hold it, with the
    // values converted, padded or refused as the server does it. Close undoes the write.
    QSqlRecord Rehearse();

    // Ends the result; anything not written by Update is discarded.
    void Close();

    bool isOpen() const { return m_open; }
    // The current row as Open read it, before any change; empty when there is none.
    bool hasCurrentRow() const { return m_hasCurrentRow; }
    const QSqlRecord &currentRow() const { return m_currentRow; }
    // The columns by which the write finds the current row: the table's key, else every column that
    // compares exactly.
    QStringList keyColumns() const;

private:
    QSqlDatabase database() const;
    // Why a statement failed; a statement that waited too long says that the table was busy.
    QString failureOf(const QSqlQuery &query, const QString &fallback) const;
    void open(const QString &table, const QString &condition, const QString &shownCondition, const QList<QVariant> &values);
    QSqlRecord write();
    // Sends the one UPDATE of the current row and reads it back into written; returns why it failed, or nothing.
    QString writeChanges(QSqlDatabase &db, QSqlRecord &written) const;
    [[noreturn]] void failAndClose(const QString &cause);
    void rollBack();

    DbConnection *m_connection = nullptr;
    bool m_open = false;
    bool m_inTransaction = false;
    bool m_written = false;
    QString m_table;
    QString m_condition;
    bool m_hasCurrentRow = false;
    QSqlRecord m_currentRow;
    // In the order first set; a column set again keeps its place and takes the later value.
    std::vector<std::pair<int, QVariant>> m_changes;

    // The key of the bound target's table, read once per binding.
    QString m_keyTable;
    QSqlIndex m_key;
    bool m_keyKnown = false;
};
