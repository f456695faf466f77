#include "AccessibilityBus.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QFile>
#include <QStringList>

namespace {

const QString RootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString AccessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// The bus lets every local client talk to every other, as the session bus does.
QByteArray busConfiguration(const QString &folder)
{
    return QByteArrayLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig>\n"
                             "  <type>session</type>\n"
                             "  <listen>unix:dir=")
           + folder.toUtf8()
           + QByteArrayLiteral("</listen>\n"
                               "  <auth>EXTERNAL</auth>\n"
                               "  <policy context=\"default\">\n"
                               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                               "    <allow eavesdrop=\"true\"/>\n"
                               "    <allow own=\"*\"/>\n"
                               "  </policy>\n"
                               "</busconfig>\n");
}

} // namespace

// The part of the accessibility bus launcher (org.a11y.Bus) that Qt asks for: whether assistive
// technology is on, and the address of the accessibility bus, which is this same bus.
class AccessibilityBus::Launcher : public QDBusVirtualObject {
public:
    explicit Launcher(QString address)
        : m_address(std::move(address))
    {
    }

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() == QLatin1String("GetAddress")) {
            connection.send(message.createReply(m_address));
        } else if (message.member() == QLatin1String("Get")) {
            // org.a11y.Status: IsEnabled and ScreenReaderEnabled
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(true))));
        } else if (message.member() == QLatin1String("GetAll")) {
            const QVariantMap status{{QStringLiteral("IsEnabled"), true}, {QStringLiteral("ScreenReaderEnabled"), true}};
            connection.send(message.createReply(status));
        } else {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
        }
        return true;
    }

private:
    QString m_address;
};

AccessibilityBus::AccessibilityBus() = default;

AccessibilityBus::~AccessibilityBus()
{
    stop();
}

bool AccessibilityBus::start(const QString &folder)
{
    const QString configuration = folder + QStringLiteral("/bus.conf");
    QFile file(configuration);
    if (!file.open(QIODevice::WriteOnly) || file.write(busConfiguration(folder)) < 0) {
        m_error = QStringLiteral("cannot write ") + configuration;
        return false;
    }
    file.close();

    m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + configuration,
                                                   QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted(10000)) {
        m_error = QStringLiteral("dbus-daemon did not start: ") + m_daemon.errorString();
        return false;
    }
    QByteArray output;
    const QDeadlineTimer deadline(10000);
    while (!output.contains('\n') && !deadline.hasExpired() && m_daemon.state() == QProcess::Running) {
        m_daemon.waitForReadyRead(100);
        output += m_daemon.readAllStandardOutput();
    }
    m_address = QString::fromUtf8(output.trimmed());
    if (m_address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon gave no address: ") + QString::fromLocal8Bit(m_daemon.readAllStandardError());
        return false;
    }

    m_connectionName = QStringLiteral("accessibility-bus-") + QString::number(m_daemon.processId());
    QDBusConnection connection = QDBusConnection::connectToBus(m_address, m_connectionName);
    m_launcher = std::make_unique<Launcher>(m_address);
    m_launcherThread.start();
    m_launcher->moveToThread(&m_launcherThread);
    if (!connection.isConnected()
        || !connection.registerVirtualObject(QStringLiteral("/org/a11y/bus"), m_launcher.get())
        || !connection.registerService(QStringLiteral("org.a11y.Bus"))) {
        m_error = QStringLiteral("cannot serve org.a11y.Bus: ") + connection.lastError().message();
        return false;
    }
    return true;
}

void AccessibilityBus::stop()
{
    if (!m_connectionName.isEmpty()) {
        QDBusConnection(m_connectionName).unregisterObject(QStringLiteral("/org/a11y/bus"));
        QDBusConnection::disconnectFromBus(m_connectionName);
        m_connectionName.clear();
    }
    m_launcherThread.quit();
    m_launcherThread.wait();
    m_launcher.reset();
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
}

QDBusMessage AccessibilityBus::call(const QString &service, const QString &path, const QString &interface,
                                    const QString &method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection(m_connectionName).call(message, QDBus::Block, 10000);
}

AccessibleObject AccessibilityBus::applicationOf(qint64 processId)
{
    const QDBusMessage names = call(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                    QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames"));
    const QString own = QDBusConnection(m_connectionName).baseService();
    for (const QString &name : names.arguments().value(0).toStringList()) {
        if (!name.startsWith(QLatin1Char(':')) || name == own)
            continue;
        const QDBusMessage owner = call(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                        QStringLiteral("org.freedesktop.DBus"),
                                        QStringLiteral("GetConnectionUnixProcessID"), {name});
        if (owner.type() != QDBusMessage::ReplyMessage || owner.arguments().value(0).toLongLong() != processId)
            continue;
        // Qt opens more than one connection; the accessible tree is on one of them.
        const AccessibleObject root{name, RootPath};
        const QDBusMessage children = call(name, RootPath, AccessibleInterface, QStringLiteral("GetChildren"));
        if (children.type() == QDBusMessage::ReplyMessage)
            return root;
    }
    return {};
}

QList<AccessibleObject> AccessibilityBus::children(const AccessibleObject &object)
{
    QList<AccessibleObject> result;
    const QDBusMessage reply = call(object.service, object.path, AccessibleInterface, QStringLiteral("GetChildren"));
    if (reply.type() != QDBusMessage::ReplyMessage)
        return result;
    const QDBusArgument array = reply.arguments().value(0).value<QDBusArgument>();
    array.beginArray();
    while (!array.atEnd()) {
        QString service;
        QDBusObjectPath path;
        array.beginStructure();
        array >> service >> path;
        array.endStructure();
        result.append({service, path.path()});
    }
    array.endArray();
    return result;
}

unsigned AccessibilityBus::role(const AccessibleObject &object)
{
    return call(object.service, object.path, AccessibleInterface, QStringLiteral("GetRole")).arguments().value(0).toUInt();
}

QString AccessibilityBus::name(const AccessibleObject &object)
{
    const QDBusMessage reply = call(object.service, object.path, PropertiesInterface, QStringLiteral("Get"),
                                    {AccessibleInterface, QStringLiteral("Name")});
    return reply.arguments().value(0).value<QDBusVariant>().variant().toString();
}

bool AccessibilityBus::hasState(const AccessibleObject &object, unsigned state)
{
    // The states are a bit set of 64 bits, sent as two 32-bit words.
    const QDBusMessage reply = call(object.service, object.path, AccessibleInterface, QStringLiteral("GetState"));
    QList<uint> words;
    const QVariant value = reply.arguments().value(0);
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument array = value.value<QDBusArgument>();
        array.beginArray();
        while (!array.atEnd()) {
            uint word = 0;
            array >> word;
            words.append(word);
        }
        array.endArray();
    }
    const qsizetype index = static_cast<qsizetype>(state / 32);
    return index < words.size() && (words.at(index) & (1u << (state % 32))) != 0;
}

QString AccessibilityBus::text(const AccessibleObject &object)
{
    const QDBusMessage reply = call(object.service, object.path, QStringLiteral("org.a11y.atspi.Text"),
                                    QStringLiteral("GetText"), {0, -1});
    return reply.arguments().value(0).toString();
}

QRect AccessibilityBus::extents(const AccessibleObject &object, Relative relative)
{
    const uint coordinates = relative == Relative::Screen ? 0 : 1;
    const QDBusMessage reply = call(object.service, object.path, QStringLiteral("org.a11y.atspi.Component"),
                                    QStringLiteral("GetExtents"), {coordinates});
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {};
    const QDBusArgument structure = reply.arguments().value(0).value<QDBusArgument>();
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    structure.beginStructure();
    structure >> x >> y >> width >> height;
    structure.endStructure();
    return {x, y, width, height};
}
