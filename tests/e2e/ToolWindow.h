#pragma once

#include "AccessibilityBus.h"
#include "XvfbDisplay.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>

// The tool's window, running as its own process on the test's X server: driven with the pointer and the
// keyboard at the control positions of the window's fixed layout, and read through its accessibility tree.
class ToolWindow {
public:
    // The ten fields a user can change, in their on-screen order from top to bottom.
    enum Row { ServerName, ExternalIP, InternalIP, SQLIP, SQLPass, Mud3Path, LGPort, SGPort, RG01Port, RG02Port };
    static constexpr int TargetCount = 15;

    ToolWindow(XvfbDisplay &display, AccessibilityBus &bus);
    ToolWindow(const ToolWindow &) = delete;
    ToolWindow &operator=(const ToolWindow &) = delete;
    ~ToolWindow();

    // Starts the executable with the environment of a desktop session on the test's display and waits
    // until its window is shown and readable; false, with the reason in error(), if it is not.
    bool start(const QString &executable, const QString &sessionFolder);
    void stop();
    QString error() const { return m_error; }

    // Clicks into the field, selects what it holds and types text over it, then waits until the field
    // holds exactly that text.
    bool typeInto(Row row, const QString &text);
    QString fieldText(Row row);

    // Clicks the target's check box and waits until its tick has changed.
    bool clickTick(int target);

    // The same input without waiting for its effect, for a window that is to ignore it.
    bool typeIntoWithoutWaiting(Row row, const QString &text);
    bool clickTickWithoutWaiting(int target);

    // The targets' ticks, in index order; each box is identified by its position and its caption.
    QList<bool> ticks();

    // Presses "Update Selected IP's", but only while the SQL field holds exactly loopbackAddress: the run
    // must never reach a database other than the test's own.
    bool pressUpdate(const QString &loopbackAddress);
    // Waits until a run has ended: the message box is up, or every box is clear (a run that completes
    // clears the tick of each target it did, and the others were clear already).
    bool waitForRunEnd(int milliseconds = 20000);

    // The failure message box while it is shown; null otherwise.
    AccessibleObject messageBox();
    QString messageTitle(const AccessibleObject &box);
    // The texts of the box's labels, top to bottom as Qt lists them; empty labels left out.
    QStringList messageTexts(const AccessibleObject &box);
    QStringList messageButtons(const AccessibleObject &box);
    bool clickMessageButton(const AccessibleObject &box, const QString &button);

private:
    bool click(int x, int y);
    AccessibleObject mainWindow();
    AccessibleObject fieldAt(Row row);
    AccessibleObject checkBoxAt(int target);
    bool waitUntil(const std::function<bool()> &condition, int milliseconds);

    XvfbDisplay &m_display;
    AccessibilityBus &m_bus;
    QProcess m_process;
    AccessibleObject m_application;
    QString m_windowId;
    QString m_error;
};
