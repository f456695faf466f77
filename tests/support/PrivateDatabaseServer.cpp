#include "support/PrivateDatabaseServer.h"

#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <atomic>
#include <gtest/gtest.h>

namespace {

QString nextAdminName()
{
    static std::atomic<int> created{0};
    return QStringLiteral("private-admin-%1").arg(++created);
}

} // namespace

PrivateDatabaseServer::PrivateDatabaseServer()
    : m_folder(QDir::tempPath() + QStringLiteral("/mud3-pg-XXXXXX"))
    , m_adminName(nextAdminName())
{
    if (!m_folder.isValid() || !script(QStringLiteral("start")))
        return;
    QFile env(m_folder.filePath(QStringLiteral("env")));
    if (!env.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "the private server wrote no env file";
        return;
    }
    const QString text = QString::fromUtf8(env.readAll());
    const QRegularExpressionMatch port = QRegularExpression(QStringLiteral("MUD3_PG_PORT=(\\d+)")).match(text);
    if (!port.hasMatch()) {
        ADD_FAILURE() << "no port in the private server's env file";
        return;
    }
    m_port = port.captured(1);
    m_running = true;
    // Only the driver registration is taken from the private folder, and only when none is set.
    if (qEnvironmentVariableIsEmpty("ODBCSYSINI"))
        qputenv("ODBCSYSINI", m_folder.filePath(QStringLiteral("odbc")).toLocal8Bit());
}

PrivateDatabaseServer::~PrivateDatabaseServer()
{
    closeAdmin();
    if (m_running)
        script(QStringLiteral("stop"));
}

QString PrivateDatabaseServer::sqlAddress() const
{
    return QStringLiteral("127.0.0.1,") + m_port;
}

void PrivateDatabaseServer::stop()
{
    closeAdmin();
    if (script(QStringLiteral("stop")))
        m_running = false;
}

void PrivateDatabaseServer::start()
{
    if (script(QStringLiteral("resume")))
        m_running = true;
}

QSqlDatabase PrivateDatabaseServer::admin()
{
    return TestDatabase::adminConnection(m_adminName, sqlAddress());
}

void PrivateDatabaseServer::execute(const QStringList &statements)
{
    TestDatabase::execute(admin(), statements);
}

bool PrivateDatabaseServer::script(const QString &command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("bash"), {QStringLiteral(MUD3_SOURCE_DIR "/scripts/postgres.sh"), command, m_folder.path()});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << "scripts/postgres.sh " << command.toStdString() << " failed: " << process.readAll().toStdString();
        return false;
    }
    return true;
}

void PrivateDatabaseServer::closeAdmin()
{
    if (!QSqlDatabase::contains(m_adminName))
        return;
    {
        QSqlDatabase database = QSqlDatabase::database(m_adminName, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(m_adminName);
}
