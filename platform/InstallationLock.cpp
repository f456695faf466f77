#include "platform/InstallationLock.h"

#include "platform/Failure.h"

#include <QDeadlineTimer>
#include <QThread>

InstallationLock::InstallationLock(const QString &folder)
    : InstallationLock(folder,
                       QStringLiteral("Another update run is working on this installation, so this run wrote nothing; try again when it "
                                      "has ended"),
                       0)
{
}

InstallationLock::InstallationLock(const QString &folder, const QString &busyCause, int waitSeconds)
{
    const QDeadlineTimer deadline{std::chrono::seconds(waitSeconds)};
    while (!tryToLock(folder)) {
        if (deadline.hasExpired())
            throw Failure(causeAt(folder, busyCause));
        QThread::msleep(100);
    }
}

void InstallationLock::failToLock(const QString &folder, int error)
{
    throw Failure(causeAt(folder, QStringLiteral("This folder cannot be reserved for the run: ") + qt_error_string(error)));
}
