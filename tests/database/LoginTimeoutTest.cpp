#include "support/InstallationTree.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A socket on loopback that takes connections into its backlog but never accepts them: the TCP handshake
// succeeds and the login then waits for an answer that never comes.
class SilentListener {
public:
    SilentListener()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof address;
        if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(m_socket, 8) != 0
            || ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
            ADD_FAILURE() << "cannot listen on 127.0.0.1";
            return;
        }
        m_port = ntohs(address.sin_port);
    }
    ~SilentListener()
    {
        if (m_socket >= 0)
            ::close(m_socket);
    }
    int port() const { return m_port; }

private:
    int m_socket = -1;
    int m_port = 0;
};

TEST(LoginTimeout, ServerThatNeverAnswersIsGivenUpAfterAboutFifteenSeconds)
{
    SilentListener listener;
    ASSERT_NE(listener.port(), 0);
    InstallationTree tree;
    FormValues form;
    pointAtTestSystem(form, tree);
    form.setFieldText(Field::txtSQLIP, QStringLiteral("127.0.0.1,%1").arg(listener.port()));
    Module1 module;

    QElapsedTimer timer;
    timer.start();
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    const qint64 elapsed = timer.elapsed();

    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_TRUE(outcome.cause.contains(QStringLiteral("timeout"), Qt::CaseInsensitive)) << outcome.cause.toStdString();
    // It waited for the limit rather than failing for another reason, and gave up soon after it.
    EXPECT_GE(elapsed, 14000);
    EXPECT_LE(elapsed, 20000);
    for (int target = 0; target < TargetCount; ++target)
        EXPECT_TRUE(form.isTicked(target));
}
