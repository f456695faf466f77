#include "database/DbConnection.h"
#include "platform/Failure.h"
#include "support/TestDatabase.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A SQL Server Browser on loopback's UDP port 1434 that answers one question for the instance MUD3 with
// the test server's port, as the Browser of a machine with that named instance does.
class LoopbackBrowser {
public:
    explicit LoopbackBrowser(const QString &port)
        : m_answer("ServerName;TESTHOST;InstanceName;MUD3;IsClustered;No;Version;16.0.1000.6;tcp;" + port.toLatin1() + ";;")
    {
        m_socket = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(1434);
        if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            ADD_FAILURE() << "UDP port 1434 on loopback is taken";
            return;
        }
        m_thread = std::thread([this] {
            char question[64];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t size = ::recvfrom(m_socket, question, sizeof question, 0, reinterpret_cast<sockaddr *>(&from), &length);
            if (size > 1 && question[0] == 0x04 && QByteArray(question + 1) == "MUD3") {
                const QByteArray reply = '\x05' + QByteArray(1, char(m_answer.size() & 0xff)) + QByteArray(1, char(m_answer.size() >> 8)) + m_answer;
                ::sendto(m_socket, reply.constData(), size_t(reply.size()), 0, reinterpret_cast<sockaddr *>(&from), length);
            }
        });
    }
    ~LoopbackBrowser()
    {
        ::shutdown(m_socket, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_socket);
    }

private:
    QByteArray m_answer;
    int m_socket = -1;
    std::thread m_thread;
};

} // namespace

// FreeTDS would ask the Browser itself for sixteen seconds, past the login's bound, and then say only that
// the server does not exist: the tool asks it first, briefly, and says what is missing.
TEST(InstanceLookup, ANamedInstanceIsReachedThroughItsBrowserAndWhatGivesNoPortIsSaidSoon)
{
    DbConnection connection;
    const QString address = TestDatabase::sqlAddress();
    {
        LoopbackBrowser browser(address.section(QLatin1Char(','), 1));
        connection.OpenConnection(QStringLiteral("127.0.0.1\\MUD3"), QStringLiteral("sa"), TestDatabase::password(), QStringLiteral("Account"));
        EXPECT_EQ(connection.state(), DbConnection::State::Open);
        connection.CloseConnection();
    }
    QElapsedTimer timer;
    timer.start();
    try {
        connection.OpenConnection(QStringLiteral("127.0.0.1\\MUD3"), QStringLiteral("sa"), TestDatabase::password(), QStringLiteral("Account"));
        ADD_FAILURE() << "connected without a Browser";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.cause().startsWith(QStringLiteral("No SQL Server Browser answered at 127.0.0.1 (UDP port 1434) within 3 seconds, so "
                                                              "the port of the instance \"MUD3\" is unknown")))
            << failure.cause().toStdString();
    }
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(connection.state(), DbConnection::State::Closed);

    // FreeTDS would take a port beyond 65535 modulo 65536, and reach another.
    for (const QString &server : {QStringLiteral("127.0.0.1,66969"), QStringLiteral("127.0.0.1,"), QStringLiteral("127.0.0.1\\a,b")}) {
        try {
            connection.OpenConnection(server, QStringLiteral("sa"), TestDatabase::password(), QStringLiteral("Account"));
            ADD_FAILURE() << "connected to " << server.toStdString();
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.cause().endsWith(QStringLiteral("\", which is no port number (1 to 65535)"))) << failure.cause().toStdString();
        }
    }
}
