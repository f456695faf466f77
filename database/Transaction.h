#pragma once

class DbConnection;

// What the statements on a connection change from its start on, undone unless committed: whatever way the
// transaction's scope ends, an uncommitted transaction is rolled back.
class Transaction {
public:
    // Begins the transaction; throws Failure when the connection is not open or refuses.
    explicit Transaction(DbConnection &connection);
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    ~Transaction();

    // Makes every change since the start last. Throws Failure when the server refuses, or when its answer does
    // not come: then the changes may have been made or not, and the cause says so.
    void commit();
    // Undoes every change since the start. A lost connection cannot roll back: the server discards the
    // transaction with the session.
    void rollBack();

private:
    DbConnection &m_connection;
    bool m_open = true;
};
