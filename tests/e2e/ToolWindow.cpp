#include "ToolWindow.h"

#include "model/Targets.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QRect>
#include <QThread>

namespace {

// The window's layout in pixels: its fixed positions in twips divided by 15, as at 96 dots per inch.
constexpr int FieldLeft = 7560 / 15;
constexpr int FieldWidth = 2295 / 15;
constexpr int FieldHeight = 405 / 15;
constexpr int CheckBoxLeft = 240 / 15;
constexpr int CheckBoxHeight = 375 / 15;
const QRect UpdateButton(5640 / 15, 5520 / 15, 4215 / 15, 375 / 15);

QRect fieldRect(ToolWindow::Row row)
{
    return {FieldLeft, (120 + 480 * row) / 15, FieldWidth, FieldHeight};
}

QRect checkBoxRect(int target)
{
    return {CheckBoxLeft, (240 + 480 * target) / 15, (target < 3 ? 4095 : 4335) / 15, CheckBoxHeight};
}

} // namespace

ToolWindow::ToolWindow(XvfbDisplay &display, AccessibilityBus &bus)
    : m_display(display)
    , m_bus(bus)
{
}

ToolWindow::~ToolWindow()
{
    stop();
}

bool ToolWindow::start(const QString &executable, const QString &sessionFolder)
{
    // A desktop session of the test's own: its display, its bus, and a home and runtime folder in the
    // test's folder, so that nothing the toolkit writes lands in the real home. No scaling, no styles
    // from the caller's desktop: the layout is checked in pixels.
    const QString home = sessionFolder + QStringLiteral("/home");
    const QString runtime = sessionFolder + QStringLiteral("/runtime");
    QDir().mkpath(home);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"AT_SPI_BUS_ADDRESS", "QT_ACCESSIBILITY", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "QT_SCALE_FACTOR",
                             "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_ENABLE_HIGHDPI_SCALING",
                             "QT_FONT_DPI", "QT_USE_PHYSICAL_DPI", "QT_STYLE_OVERRIDE", "QT_QPA_PLATFORMTHEME",
                             "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XAUTHORITY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("DISPLAY"), m_display.name());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    m_process.setProcessEnvironment(environment);
    m_process.setProgram(executable);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("the tool did not start: ") + m_process.errorString();
        return false;
    }

    const bool readable = waitUntil([this] {
        if (m_application.isNull())
            m_application = m_bus.applicationOf(m_process.processId());
        return !m_application.isNull() && !mainWindow().isNull();
    }, 30000);
    if (!readable) {
        m_error = QStringLiteral("the window did not appear in the accessibility tree");
        return false;
    }
    const QString windows = m_display.xdotoolOutput({QStringLiteral("search"), QStringLiteral("--sync"),
                                                     QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                                     QStringLiteral("^Form1$")});
    m_windowId = windows.section(QLatin1Char('\n'), 0, 0).trimmed();
    if (m_windowId.isEmpty()) {
        m_error = QStringLiteral("no visible window named Form1: ") + m_display.error();
        return false;
    }
    // Without a window manager nobody gives the window the keyboard; a user's first click would.
    if (!m_display.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), m_windowId})) {
        m_error = m_display.error();
        return false;
    }
    return true;
}

void ToolWindow::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool ToolWindow::waitUntil(const std::function<bool()> &condition, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    for (;;) {
        if (condition())
            return true;
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
}

bool ToolWindow::click(int x, int y)
{
    if (m_display.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), m_windowId,
                           QString::number(x), QString::number(y), QStringLiteral("click"), QStringLiteral("1")}))
        return true;
    m_error = m_display.error();
    return false;
}

AccessibleObject ToolWindow::mainWindow()
{
    for (const AccessibleObject &window : m_bus.children(m_application)) {
        if (m_bus.name(window) == QLatin1String("Form1"))
            return window;
    }
    return {};
}

AccessibleObject ToolWindow::fieldAt(Row row)
{
    for (const AccessibleObject &control : m_bus.children(mainWindow())) {
        if (m_bus.role(control) == AtSpi::RoleText
            && m_bus.extents(control, AccessibilityBus::Relative::Window) == fieldRect(row))
            return control;
    }
    m_error = QStringLiteral("no text field at row %1").arg(row);
    return {};
}

AccessibleObject ToolWindow::checkBoxAt(int target)
{
    for (const AccessibleObject &control : m_bus.children(mainWindow())) {
        if (m_bus.role(control) != AtSpi::RoleCheckBox
            || !checkBoxRect(target).contains(m_bus.extents(control, AccessibilityBus::Relative::Window)))
            continue;
        const QString caption = m_bus.name(control);
        if (caption == targetCaption(target))
            return control;
        m_error = QStringLiteral("the box of target %1 reads ").arg(target) + caption;
        return {};
    }
    m_error = QStringLiteral("no check box for target %1").arg(target);
    return {};
}

bool ToolWindow::typeInto(Row row, const QString &text)
{
    if (!typeIntoWithoutWaiting(row, text))
        return false;
    if (waitUntil([&] { return fieldText(row) == text; }, 10000))
        return true;
    m_error = QStringLiteral("typed \"%1\" into row %2, the field holds \"%3\"").arg(text).arg(row).arg(fieldText(row));
    return false;
}

bool ToolWindow::typeIntoWithoutWaiting(Row row, const QString &text)
{
    const QRect field = fieldRect(row);
    if (!click(field.center().x(), field.center().y()))
        return false;
    if (m_display.xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("type"),
                           QStringLiteral("--delay"), QStringLiteral("20"), text}))
        return true;
    m_error = m_display.error();
    return false;
}

QString ToolWindow::fieldText(Row row)
{
    const AccessibleObject field = fieldAt(row);
    return field.isNull() ? QStringLiteral("<no field>") : m_bus.text(field);
}

bool ToolWindow::clickTick(int target)
{
    const AccessibleObject box = checkBoxAt(target);
    if (box.isNull())
        return false;
    const bool before = m_bus.hasState(box, AtSpi::StateChecked);
    if (!clickTickWithoutWaiting(target))
        return false;
    if (waitUntil([&] { return m_bus.hasState(box, AtSpi::StateChecked) != before; }, 10000))
        return true;
    m_error = QStringLiteral("clicking the box of target %1 did not change its tick").arg(target);
    return false;
}

bool ToolWindow::clickTickWithoutWaiting(int target)
{
    // On the square itself, left of the caption.
    const QRect rect = checkBoxRect(target);
    return click(rect.left() + 7, rect.center().y());
}

QList<bool> ToolWindow::ticks()
{
    // One pass over the window's controls: the boxes by position, each checked against its caption. A
    // box reports the square and its caption, which lie inside the box's place in the layout.
    QList<AccessibleObject> boxes(TargetCount);
    for (const AccessibleObject &control : m_bus.children(mainWindow())) {
        if (m_bus.role(control) != AtSpi::RoleCheckBox)
            continue;
        const QRect rect = m_bus.extents(control, AccessibilityBus::Relative::Window);
        for (int target = 0; target < TargetCount; ++target) {
            if (checkBoxRect(target).contains(rect) && m_bus.name(control) == targetCaption(target))
                boxes[target] = control;
        }
    }
    QList<bool> result;
    for (int target = 0; target < TargetCount; ++target) {
        if (boxes.at(target).isNull()) {
            m_error = QStringLiteral("no check box with the caption of target %1 at its place").arg(target);
            return {};
        }
        result.append(m_bus.hasState(boxes.at(target), AtSpi::StateChecked));
    }
    return result;
}

bool ToolWindow::pressUpdate(const QString &loopbackAddress)
{
    const QString sqlAddress = fieldText(SQLIP);
    if (!loopbackAddress.startsWith(QLatin1String("127.0.0.1,")) || sqlAddress != loopbackAddress) {
        m_error = QStringLiteral("refusing to press \"Update Selected IP's\" with \"%1\" in the SQL field").arg(sqlAddress);
        return false;
    }
    return click(UpdateButton.center().x(), UpdateButton.center().y());
}

bool ToolWindow::waitForRunEnd(int milliseconds)
{
    QList<bool> state;
    const bool ended = waitUntil([&] {
        if (!messageBox().isNull())
            return true;
        state = ticks();
        return state.size() == TargetCount && !state.contains(true);
    }, milliseconds);
    if (!ended) {
        QStringList ticked;
        for (qsizetype target = 0; target < state.size(); ++target) {
            if (state.at(target))
                ticked.append(QString::number(target));
        }
        m_error = QStringLiteral("the run showed no message and left ticked: ") + ticked.join(QLatin1Char(' '));
    }
    return ended;
}

AccessibleObject ToolWindow::messageBox()
{
    for (const AccessibleObject &window : m_bus.children(m_application)) {
        if (m_bus.role(window) == AtSpi::RoleAlert)
            return window;
    }
    return {};
}

QString ToolWindow::messageTitle(const AccessibleObject &box)
{
    return m_bus.name(box);
}

QStringList ToolWindow::messageTexts(const AccessibleObject &box)
{
    QStringList texts;
    for (const AccessibleObject &control : m_bus.children(box)) {
        if (m_bus.role(control) != AtSpi::RoleLabel)
            continue;
        const QString text = m_bus.name(control);
        if (!text.isEmpty())
            texts.append(text);
    }
    return texts;
}

QStringList ToolWindow::messageButtons(const AccessibleObject &box)
{
    QStringList buttons;
    QList<AccessibleObject> pending = m_bus.children(box);
    while (!pending.isEmpty()) {
        const AccessibleObject control = pending.takeFirst();
        if (m_bus.role(control) == AtSpi::RolePushButton)
            buttons.append(m_bus.name(control));
        else
            pending += m_bus.children(control);
    }
    return buttons;
}

bool ToolWindow::clickMessageButton(const AccessibleObject &box, const QString &button)
{
    QList<AccessibleObject> pending = m_bus.children(box);
    while (!pending.isEmpty()) {
        const AccessibleObject control = pending.takeFirst();
        if (m_bus.role(control) != AtSpi::RolePushButton) {
            pending += m_bus.children(control);
            continue;
        }
        if (m_bus.name(control) != button)
            continue;
        // The box's place is the toolkit's choice; its button is found where the window says it is.
        const QPoint centre = m_bus.extents(control, AccessibilityBus::Relative::Screen).center();
        if (!m_display.xdotool({QStringLiteral("mousemove"), QString::number(centre.x()),
                                QString::number(centre.y()), QStringLiteral("click"), QStringLiteral("1")})) {
            m_error = m_display.error();
            return false;
        }
        if (waitUntil([this] { return messageBox().isNull(); }, 10000))
            return true;
        m_error = QStringLiteral("the message box stayed after clicking ") + button;
        return false;
    }
    m_error = QStringLiteral("the message box has no button ") + button;
    return false;
}
