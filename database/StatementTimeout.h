#pragma once

// How long a statement of the tool may wait for the server. A row or table that another session holds
// locked would otherwise keep the run, and the window with it, waiting until that session ends.
namespace StatementTimeout {

// A lock that another session holds is waited for this long; then the server gives the statement up.
constexpr int LockSeconds = 30;

// The ODBC query time-out, for a server that stops answering at all. It is longer than the lock wait, so
// that a lock wait is ended by the server, which leaves the connection usable, not by the driver, which
// may have to drop the connection when the server does not acknowledge its cancel.
constexpr int QuerySeconds = LockSeconds + 5;

} // namespace StatementTimeout
