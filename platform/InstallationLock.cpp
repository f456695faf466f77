#include "platform/InstallationLock.h"

#include "platform/Failure.h"

void InstallationLock::failBusy(const QString &folder)
{
    throw Failure(causeAt(folder, QStringLiteral("Another update run is working on this installation, so this run wrote "
                                                 "nothing; try again when it has ended")));
}

void InstallationLock::failToLock(const QString &folder, int error)
{
    throw Failure(causeAt(folder, QStringLiteral("This installation cannot be reserved for the run: ") + qt_error_string(error)));
}
