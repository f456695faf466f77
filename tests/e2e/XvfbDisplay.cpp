#include "XvfbDisplay.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>

#include <X11/Xlib.h>

XvfbDisplay::~XvfbDisplay()
{
    stop();
}

bool XvfbDisplay::start()
{
    // -displayfd makes the server pick a free display number and print it once it accepts clients,
    // so parallel test runs never collide and no fixed delay is needed. -noreset keeps the keyboard map
    // of bindKeys: the server would otherwise reset it whenever its last client leaves.
    m_server.setProgram(QStringLiteral("Xvfb"));
    m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                           QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24"),
                           QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.start();
    if (!m_server.waitForStarted(10000)) {
        m_error = QStringLiteral("Xvfb did not start: ") + m_server.errorString();
        return false;
    }
    QByteArray output;
    const QDeadlineTimer deadline(20000);
    while (!output.contains('\n') && !deadline.hasExpired() && m_server.state() == QProcess::Running) {
        m_server.waitForReadyRead(100);
        output += m_server.readAllStandardOutput();
    }
    const QByteArray number = output.trimmed();
    if (!output.contains('\n') || number.isEmpty()) {
        m_error = QStringLiteral("Xvfb gave no display number (its messages are above)");
        return false;
    }
    m_name = QLatin1Char(':') + QString::fromLatin1(number);
    return true;
}

void XvfbDisplay::stop()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

bool XvfbDisplay::bindKeys(const QString &characters)
{
    Display *display = XOpenDisplay(m_name.toLatin1().constData());
    if (!display) {
        m_error = QStringLiteral("cannot open display ") + m_name;
        return false;
    }
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    KeySym *map = XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
    const auto unused = [&](int keycode) {
        for (int i = 0; i < perKeycode; ++i) {
            if (map[(keycode - minKeycode) * perKeycode + i] != NoSymbol)
                return false;
        }
        return true;
    };

    const QList<uint> codePoints = characters.toUcs4();
    int keycode = maxKeycode;
    bool bound = true;
    for (const uint codePoint : codePoints) {
        while (keycode >= minKeycode && !unused(keycode))
            --keycode;
        if (keycode < minKeycode) {
            bound = false;
            break;
        }
        // The same key with and without Shift: Unicode keysyms are 0x01000000 plus the code point.
        QList<KeySym> keysyms(perKeycode, NoSymbol);
        keysyms[0] = 0x01000000 + codePoint;
        if (perKeycode > 1)
            keysyms[1] = keysyms[0];
        XChangeKeyboardMapping(display, keycode, perKeycode, keysyms.data(), 1);
        --keycode;
    }
    XFree(map);
    XSync(display, False);
    XCloseDisplay(display);
    if (!bound)
        m_error = QStringLiteral("no free key left for ") + characters;
    return bound;
}

bool XvfbDisplay::xdotool(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_name);
    // xdotool decodes the text to type by the locale; the texts are UTF-8 whatever the caller's locale.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("xdotool"), arguments);
    const bool finished = process.waitForFinished(15000);
    if (!finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = QStringLiteral("xdotool ") + arguments.join(QLatin1Char(' ')) + QStringLiteral(": ")
                  + process.errorString() + QLatin1Char(' ') + QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    m_lastOutput = QString::fromLocal8Bit(process.readAllStandardOutput());
    return true;
}

QString XvfbDisplay::xdotoolOutput(const QStringList &arguments)
{
    return xdotool(arguments) ? m_lastOutput : QString();
}
