#include "database/DbConnection.h"

#include "database/OdbcConnectionString.h"
#include "database/OdbcStatement.h"
#include "database/ServerDialect.h"
#include "model/Form.h"
#include "platform/Failure.h"
#include "platform/OdbcDriver.h"

#include <QSqlDriver>
#include <QSqlError>
#include <atomic>

namespace {

// FreeTDS waits for ever on an address that does not answer unless the login has a limit.
constexpr const char *ConnectOptions = "SQL_ATTR_LOGIN_TIMEOUT=15";

QString newObjectName()
{
    static std::atomic<int> created{0};
    return QStringLiteral("DbConnection-%1").arg(++created);
}

} // namespace

DbConnection::~DbConnection()
{
    if (m_objectName.isEmpty())
        return;
    {
        QSqlDatabase database = QSqlDatabase::database(m_objectName, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(m_objectName);
}

DbConnection::State DbConnection::state() const
{
    if (m_objectName.isEmpty())
        return State::Absent;
    return database().isOpen() ? State::Open : State::Closed;
}

void DbConnection::ensureObject()
{
    if (!m_objectName.isEmpty())
        return;
    m_objectName = newObjectName();
    QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_objectName);
}

void DbConnection::OpenConnection(const QString &server, const QString &user, const QString &password, const QString &catalog)
{
    ensureObject();
    QSqlDatabase database = this->database();
    if (!database.isValid())
        throw Failure(QStringLiteral("Qt's ODBC driver (QODBC) is not installed"));
    // The user name and password travel inside the quoted connection string, never appended by the SQL layer.
    database.setDatabaseName(OdbcConnectionString::build(OdbcDriver::reachableServer(server), user, password, catalog));
    database.setConnectOptions(QLatin1String(ConnectOptions));
    if (!database.open()) {
        // The driver's messages; Qt's own "QODBC: Unable to connect" after them says nothing more.
        const QSqlError error = database.lastError();
        const QString said = error.databaseText().trimmed().isEmpty() ? error.text() : error.databaseText().trimmed();
        throw Failure(QStringLiteral("Cannot connect to the SQL Server at %1 as %2, database %3: %4").arg(server, user, catalog, said));
    }
    try {
        // Each sent directly, never prepared: SQL Server restores a SET option made inside a prepared
        // statement (sp_prepexec, sp_executesql) once that statement ends.
        OdbcStatement statement(*this);
        for (const QString &setUp : serverDialect().sessionSetup)
            statement.execute(setUp);
    } catch (const Failure &failure) {
        // Without the bound a locked table could hold the run for as long as the other session lasts.
        database.close();
        throw Failure(QStringLiteral("Limiting how long the session waits for locks failed: ") + failure.cause());
    }
}

void DbConnection::OpenAccountDatabase(const FieldSource &fields)
{
    OpenConnection(fields.fieldText(Field::txtSQLIP), QStringLiteral("sa"), fields.fieldText(Field::txtSQLPass), AccountDatabase);
}

void DbConnection::CloseConnection()
{
    ensureObject();
    if (state() != State::Open)
        return;
    {
        QSqlDatabase database = this->database();
        database.close();
    }
    QSqlDatabase::removeDatabase(m_objectName);
    m_objectName.clear();
    m_inTransaction = false;
}

QSqlDatabase DbConnection::database() const
{
    return QSqlDatabase::database(m_objectName, false);
}

void *DbConnection::odbcHandle() const
{
    return database().driver()->handle().value<void *>();
}
