#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// An X server of the test's own (Xvfb, no window manager), and the user's hands on it: xdotool moves the
// pointer, clicks and types through the XTEST extension, so the tool receives real input events.
class XvfbDisplay {
public:
    XvfbDisplay() = default;
    XvfbDisplay(const XvfbDisplay &) = delete;
    XvfbDisplay &operator=(const XvfbDisplay &) = delete;
    ~XvfbDisplay();

    // Starts the server on the first free display number; false, with the reason in error(), if it fails.
    bool start();
    void stop();

    // ":N", for DISPLAY.
    QString name() const { return m_name; }
    QString error() const { return m_error; }

    // Gives each character a key of its own in the server's keyboard map. xdotool otherwise rebinds a
    // spare key for every character outside the map and binds it back at once; a client that reads the
    // map after that sees the wrong character, and characters go missing.
    bool bindKeys(const QString &characters);

    // Runs xdotool with the arguments; false, with its output in error(), if it fails.
    bool xdotool(const QStringList &arguments);
    // xdotool's output, for commands that print (search).
    QString xdotoolOutput(const QStringList &arguments);

private:
    QProcess m_server;
    QString m_name;
    QString m_error;
    QString m_lastOutput;
};
