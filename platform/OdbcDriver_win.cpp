#include "platform/OdbcDriver.h"

#include <QSettings>

QString OdbcDriver::name()
{
    const QSettings drivers(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"), QSettings::NativeFormat);
    QString newest = QStringLiteral("SQL Server");
    int newestVersion = 0;
    for (const QString &name : drivers.childKeys()) {
        if (sqlServerDriverVersion(name) > newestVersion) {
            newestVersion = sqlServerDriverVersion(name);
            newest = name;
        }
    }
    return newest;
}

// The SQL Server drivers read "host", "host,port" and "host\instance" themselves, and ask the SQL Server
// Browser for an instance's port within the login's bound.
QString OdbcDriver::reachableServer(const QString &server)
{
    return server;
}

// The SQL Server drivers read "host", "host,port" and "host\instance" themselves.
OdbcDriver::Keywords OdbcDriver::serverKeywords(const QString &server)
{
    return {{QStringLiteral("Server"), server}};
}

bool OdbcDriver::carriesClosingBrace()
{
    return true;
}
