#include "platform/SqlServerBrowser_unix.h"

#include "platform/Descriptor_unix.h"
#include "platform/Failure.h"

#include <QByteArray>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

constexpr const char *BrowserPort = "1434";
constexpr char InstanceQuestion = 0x04; // CLNT_UCAST_INST: the instance's name follows
constexpr char Answer = 0x05;           // SVR_RESP: a 16-bit size, then "key;value;" pairs

// The TCP port in an answer "ServerName;HOST;InstanceName;NAME;IsClustered;No;Version;15.0.2000.5;tcp;1433;;", or
// why it names none.
struct Port {
    int number = 0;
    QString missing;
};

Port tcpPortIn(const QByteArray &answer, const QString &instance)
{
    if (answer.size() < 3 || answer.at(0) != Answer)
        return {0, QStringLiteral("answered, but not as a SQL Server Browser does")};
    const QStringList fields = QString::fromLatin1(answer.mid(3)).split(QLatin1Char(';'));
    bool instanceNamed = false;
    QString port;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        if (fields.at(i).compare(QLatin1String("InstanceName"), Qt::CaseInsensitive) == 0)
            instanceNamed = fields.at(i + 1).compare(instance, Qt::CaseInsensitive) == 0;
        else if (fields.at(i).compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0)
            port = fields.at(i + 1);
    }
    if (!instanceNamed)
        return {0, QStringLiteral("answered about another instance")};
    bool number = false;
    const int value = port.toInt(&number);
    if (port.isEmpty() || !number || value < 1 || value > 65535)
        return {0, QStringLiteral("names no TCP port for it: the instance takes no TCP connections")};
    return {value, {}};
}

} // namespace

int SqlServerBrowser::instancePort(const QString &host, const QString &instance)
{
    const QString at = QStringLiteral("%1 (UDP port %2)").arg(host, QLatin1String(BrowserPort));
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *addresses = nullptr;
    if (const int failed = getaddrinfo(host.toUtf8().constData(), BrowserPort, &hints, &addresses); failed != 0)
        throw Failure(QStringLiteral("The SQL IP's host %1 cannot be found: %2").arg(host, QString::fromLocal8Bit(gai_strerror(failed))));
    const Descriptor socket(::socket(addresses->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const QByteArray question = InstanceQuestion + instance.toLocal8Bit() + '\0';
    const bool sent = socket.get() >= 0
        && ::sendto(socket.get(), question.constData(), size_t(question.size()), 0, addresses->ai_addr, addresses->ai_addrlen) == question.size();
    const int sendError = errno;
    freeaddrinfo(addresses);
    if (!sent)
        throw Failure(QStringLiteral("The SQL Server Browser at %1 cannot be asked for the instance \"%2\": %3")
                          .arg(at, instance, QString::fromLocal8Bit(std::strerror(sendError))));

    // One question, and what comes back within the wait: a lost answer is rare on the networks this serves.
    pollfd waiting{socket.get(), POLLIN, 0};
    if (::poll(&waiting, 1, WaitSeconds * 1000) == 1) {
        char answer[4096];
        const ssize_t length = ::recv(socket.get(), answer, sizeof answer, 0);
        if (length > 0) {
            const Port port = tcpPortIn(QByteArray(answer, int(length)), instance);
            if (port.number > 0)
                return port.number;
            throw Failure(QStringLiteral("Asked for the instance \"%1\", the SQL Server Browser at %2 %3. Give the SQL IP as %4,PORT")
                              .arg(instance, at, port.missing, host));
        }
    }
    throw Failure(QStringLiteral("No SQL Server Browser answered at %1 within %2 seconds, so the port of the instance \"%3\" is unknown: the "
                                 "instance does not exist there, its Browser service is not running, or a firewall drops the question. Give "
                                 "the SQL IP as %4,PORT")
                      .arg(at)
                      .arg(WaitSeconds)
                      .arg(instance, host));
}
