#pragma once

#include "platform/Failure.h"

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

class DbConnection;

// Whether a value goes to the server as a whole number rather than as text.
bool isWholeNumber(const QVariant &value);

// What the driver and the server said of the last call on an ODBC handle (SQL_HANDLE_STMT or SQL_HANDLE_DBC),
// one line each, or fallback when they said nothing; busy tells whether it gave up waiting for a lock.
QString odbcCause(short handleType, void *handle, const QString &fallback, bool *busy = nullptr);

// A statement that failed: the driver's and the server's cause, and whether it gave up waiting for a lock or
// at its time-out.
class StatementFailure : public Failure {
public:
    StatementFailure(const QString &cause, bool busy)
        : Failure(cause)
        , m_busy(busy)
    {
    }

    bool busy() const { return m_busy; }

private:
    bool m_busy;
};

// One statement on the open connection, made on the ODBC handles under Qt's driver so that it reaches SQL
// Server as the tool means it, whatever the driver:
// - executed directly, as one request: no server cursor (which SQL Server refuses for a SET or an UPDATE)
//   and no separate prepare;
// - its parameters bound as wide text, so that every character reaches the server as typed, or as NULL, and
//   whole numbers as such;
// - its results read as wide text, whole numbers as such;
// - bounded by the ODBC query time-out.
// Qt's own statements cannot promise the first three: with FreeTDS it binds and reads narrow text in the
// database's single-byte code page, and asks for a scrollable cursor unless told otherwise.
class OdbcStatement {
public:
    explicit OdbcStatement(const DbConnection &connection);
    OdbcStatement(const OdbcStatement &) = delete;
    OdbcStatement &operator=(const OdbcStatement &) = delete;
    ~OdbcStatement();

    // Runs text, its "?" taking values in order: each as text, a whole number or NULL. Throws StatementFailure.
    void execute(const QString &text, const QList<QVariant> &values = {});

    // How many rows an UPDATE changed.
    qint64 rowsAffected() const;

    // Moves to the next row of the result; false when there is none. Throws StatementFailure.
    bool next();
    // The current row: each column's name, its ODBC SQL type as typeID(), and its value: a whole number for
    // an integer column, else text, or NULL.
    const QSqlRecord &record() const { return m_row; }

private:
    [[noreturn]] void fail(const QString &what) const;
    QVariant columnValue(int column) const;

    void *m_statement = nullptr;
    QSqlRecord m_row;
};
