#pragma once

#include <QString>
#include <QStringList>

// Another session on the shared test database that holds locks: it runs statements in a transaction and
// keeps it open until release(). PostgreSQL ends the session by itself after maxSeconds, so that a run
// that would wait for the lock without bound still comes back, and its test fails instead of hanging; a T-SQL
// server has no such bound.
class LockHolder {
public:
    explicit LockHolder(const QStringList &statements, int maxSeconds = 60);
    LockHolder(const LockHolder &) = delete;
    LockHolder &operator=(const LockHolder &) = delete;
    ~LockHolder();

    // Rolls back what the statements did and ends the session.
    void release();

    // How many sessions of the server are waiting for a lock at this moment; -1 where the server cannot tell
    // (Babelfish has no sys.dm_exec_requests).
    static int waitingSessions();

private:
    QString m_connectionName;
};
