#pragma once

#include <QDir>
#include <QString>
#include <stdexcept>

// A failure of a step of the update run, with its cause as the system or the driver reported it.
// Every step throws it; only the run catches it, on its one failure path.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString &cause)
        : std::runtime_error(cause.toStdString())
        , m_cause(cause)
    {
    }

    const QString &cause() const { return m_cause; }

private:
    QString m_cause;
};

// A cause about a path: the full path in quotes, so that a blank at either end can be seen, then what happened.
// The path is spelled the system's way (backslashes on Windows), as the user types and finds it.
inline QString causeAt(const QString &path, const QString &cause)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(path) + QStringLiteral("\": ") + cause;
}
