#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QThread>
#include <QVariantList>
#include <memory>

// One object of a running application's accessibility tree: the application's bus connection and the
// object's path on it.
struct AccessibleObject {
    QString service;
    QString path;

    bool isNull() const { return path.isEmpty(); }
};

// The values of the AT-SPI protocol that the tests read.
namespace AtSpi {
constexpr unsigned RoleAlert = 2;
constexpr unsigned RoleCheckBox = 7;
constexpr unsigned RoleLabel = 29;
constexpr unsigned RolePushButton = 43;
constexpr unsigned RoleText = 61;
constexpr unsigned StateChecked = 4;
} // namespace AtSpi

// Reads what a window shows the way a screen reader does: through the accessibility interface that Qt
// offers every application over D-Bus (AT-SPI). A private bus daemon serves as both the session bus and
// the accessibility bus, and this object answers on it as the accessibility bus launcher would, telling
// Qt that assistive technology is on and where to register. The tool itself needs nothing for it.
class AccessibilityBus {
public:
    AccessibilityBus();
    AccessibilityBus(const AccessibilityBus &) = delete;
    AccessibilityBus &operator=(const AccessibilityBus &) = delete;
    ~AccessibilityBus();

    // Starts the bus daemon with its socket in folder; false, with the reason in error(), if it fails.
    bool start(const QString &folder);
    void stop();

    // For DBUS_SESSION_BUS_ADDRESS of the application.
    QString address() const { return m_address; }
    QString error() const { return m_error; }

    // The root of the application with this process id once it has registered; null before that.
    AccessibleObject applicationOf(qint64 processId);

    QList<AccessibleObject> children(const AccessibleObject &object);
    unsigned role(const AccessibleObject &object);
    QString name(const AccessibleObject &object);
    bool hasState(const AccessibleObject &object, unsigned state);
    // The whole text of an editable or static text object.
    QString text(const AccessibleObject &object);
    // Position and size, relative to the object's top-level window or to the screen.
    enum class Relative { Window, Screen };
    QRect extents(const AccessibleObject &object, Relative relative);

private:
    class Launcher;

    QDBusMessage call(const QString &service, const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments = {});

    QProcess m_daemon;
    QString m_address;
    QString m_error;
    QString m_connectionName;
    // The launcher answers from a thread of its own: Qt asks it with blocking calls while the test's
    // thread may itself be blocked in a call to the tool.
    QThread m_launcherThread;
    std::unique_ptr<Launcher> m_launcher;
};
