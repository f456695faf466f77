#pragma once

#include <QSqlDatabase>
#include <QString>

class FieldSource;

// The program's one database connection. It is absent until first used, then a closed object that
// OpenConnection configures and opens; CloseConnection closes and releases an open one, so that the
// next use creates a fresh object.
class DbConnection {
public:
    enum class State { Absent, Closed, Open };

    // The catalog of the game's account database, which every connection of the tool opens.
    static inline const QString AccountDatabase = QStringLiteral("Account");

    DbConnection() = default;
    DbConnection(const DbConnection &) = delete;
    DbConnection &operator=(const DbConnection &) = delete;
    ~DbConnection();

    State state() const;

    // Connects to the catalog of server as user, then sends the server's session set-up, which limits how
    // long the session waits for a lock; throws Failure with the driver's cause. A failed open leaves the
    // object closed.
    void OpenConnection(const QString &server, const QString &user, const QString &password, const QString &catalog);
    // The account database on the server that the fields name: their SQL IP and password as typed, as user "sa".
    void OpenAccountDatabase(const FieldSource &fields);

    // Closes and releases the connection if it is open; otherwise only makes sure an object exists.
    void CloseConnection();

    // The open connection; only meaningful while state() is Open.
    QSqlDatabase database() const;
    // The ODBC connection handle under it, for statements of the tool's own (OdbcStatement).
    void *odbcHandle() const;
    // Whether a Transaction is under way on it.
    bool inTransaction() const { return m_inTransaction; }

private:
    friend class Transaction;
    void ensureObject();

    QString m_objectName; // the QSqlDatabase connection name; empty while absent
    bool m_inTransaction = false;
};
