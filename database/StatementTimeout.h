#pragma once

#include <QSqlDriver>
#include <QString>

class QSqlQuery;

// No statement of the run waits for the server longer than this. A row or table that another session
// holds locked would otherwise keep the run, and the window with it, waiting until that session ends.
namespace StatementTimeout {

constexpr int Seconds = 30;

// Prepares text on the query's connection with the ODBC query time-out set on its statement. A driver
// that cannot time a statement out leaves the bound to the session's lock time-out at the server.
bool prepare(QSqlQuery &query, const QString &text);

// The statement that bounds every lock wait of the session at the server, or empty for a server of
// unknown kind. It also covers what the ODBC time-out cannot reach: the catalog look-ups that Qt's
// driver runs on statements of its own.
QString sessionLockTimeout(QSqlDriver::DbmsType server);

// Whether the last exec of query failed because it waited too long: the ODBC time-out expired, or the
// server gave up waiting for a lock or cancelled the statement at its time-out.
bool expired(const QSqlQuery &query);

} // namespace StatementTimeout
