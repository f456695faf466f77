#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Keeps a second update run off an installation while one runs: two runs at once would leave files of both
// mixed, and rows out of step with the files. Held for the life of the object; the system releases it when
// the process ends in any way, so that a killed run never leaves the installation locked. It leaves no file
// behind: on Linux it is a lock on the installation's root folder itself, on Windows a named mutex whose
// name stands for that folder. Where the folder does not exist there is no installation to guard (a file
// target would fail at its missing file before writing), so a run with only database targets ticked goes
// on as before.
class InstallationLock {
public:
    // Throws Failure naming the folder when another run holds it.
    explicit InstallationLock(const QString &folder);
    // The same for another folder that one run at a time works in, as the backups beside a settings file: waits
    // up to waitSeconds for another run to let go of it, then throws Failure with busyCause.
    InstallationLock(const QString &folder, const QString &busyCause, int waitSeconds);
    InstallationLock(const InstallationLock &) = delete;
    InstallationLock &operator=(const InstallationLock &) = delete;
    ~InstallationLock();

private:
    // Whether the lock was taken; false while another run holds it.
    bool tryToLock(const QString &folder);
    [[noreturn]] static void failToLock(const QString &folder, int error);

    std::optional<qintptr> m_handle; // the folder's descriptor, or the mutex's handle
};
