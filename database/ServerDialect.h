#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What the tool says to the account database's server beyond the statements of its targets, and how it
// reads that server's answers: SQL Server's. Another server that stands in for SQL Server (as in the tests)
// is spoken to in its own dialect, handed over through useServerDialect.
struct ServerDialect {
    // Sent once on every new connection, each directly: bounds how long the session waits for a lock.
    QStringList sessionSetup;
    // A query of one parameter, the table's name as the targets' statements name it, whose rows hold the
    // names of the table's primary key columns, in key order, in a column COLUMN_NAME; no row when the table
    // has no key.
    QString keyColumnsQuery;
    // How an identifier is quoted: between these two, the closing one doubled inside.
    QChar identifierOpens;
    QChar identifierCloses;
    // What a statement that gave up waiting for a lock reports, besides the ODBC time-out's HYT00.
    QStringList busyStates;
    QList<int> busyNativeErrors;

    QString quoted(const QString &identifier) const;
    bool isBusy(const QString &state, int nativeError) const;
};

// SQL Server's own.
const ServerDialect &sqlServerDialect();

// The dialect of the connections opened from now on: SQL Server's unless another was handed over.
const ServerDialect &serverDialect();
void useServerDialect(const ServerDialect &dialect);
