#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A PostgreSQL server of one test's own, started by scripts/postgres.sh in a temporary folder, for the
// tests that stop the server or change the login of "sa": the shared test server stays untouched by them.
// Same login ("sa", "qef"), database "Account" and ODBC driver registration as the shared one.
class PrivateDatabaseServer {
public:
    PrivateDatabaseServer();
    PrivateDatabaseServer(const PrivateDatabaseServer &) = delete;
    PrivateDatabaseServer &operator=(const PrivateDatabaseServer &) = delete;
    ~PrivateDatabaseServer();

    bool isRunning() const { return m_running; }

    // "127.0.0.1,PORT", the text a test puts into txtSQLIP.
    QString sqlAddress() const;

    // Stops the server at once (open sessions are ended), keeping its data; start() brings it back on
    // the same port.
    void stop();
    void start();

    // A connection of the test's own; closed by stop().
    QSqlDatabase admin();
    // Runs statements on admin(); fails the test on the first error.
    void execute(const QStringList &statements);

private:
    bool script(const QString &command);
    void closeAdmin();

    QTemporaryDir m_folder;
    QString m_port;
    QString m_adminName;
    bool m_running = false;
};
