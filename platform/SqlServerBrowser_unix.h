#pragma once

#include <QString>

// The SQL Server Browser, which tells on UDP port 1434 which TCP port each named instance of SQL Server on a
// machine listens on. Windows' SQL Server drivers ask it themselves; FreeTDS asks it for sixteen seconds,
// past the login's bound, and then says only that the server does not exist.
namespace SqlServerBrowser {

constexpr int WaitSeconds = 3;

// The TCP port of the instance on host. Throws Failure when no answer comes within WaitSeconds, or the
// answer names no TCP port.
int instancePort(const QString &host, const QString &instance);

} // namespace SqlServerBrowser
