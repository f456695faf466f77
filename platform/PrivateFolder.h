#pragma once

#include "platform/PathEntry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

// A folder whose content steers the tool: Backups and the runs kept in it, whose copies a restore writes
// into the installation and whose records say what a prune removes. As ssh's StrictModes does, the tool
// trusts such a folder, and each folder and file read through it, only when it belongs to the user running
// the tool and no one else may write it; anything else fails, naming the path. What lies in it is reached
// through the opened folder and never by following a link, so that nothing swapped in meanwhile can lead a
// read or a removal out of it.
//
// On Linux "belongs" is the owner, and "no one else may write" the group and other write bits (an ACL is
// not looked at). On Windows it is the owner's SID, which must be this user's or the default owner of what
// this user creates (the Administrators group for an elevated administrator); who else may write is left to
// the folder's ACL, which a folder the tool creates inherits from the tool's folder. A reparse point
// (a symbolic link or a junction) is never followed there either.
class PrivateFolder {
public:
    // Nothing when nothing lies at path. Throws Failure naming path for anything else than a folder that
    // belongs to this user and that no one else may write; a link to one too.
    static std::optional<PrivateFolder> open(const QString &path);

    PrivateFolder(PrivateFolder &&other) noexcept;
    PrivateFolder(const PrivateFolder &) = delete;
    PrivateFolder &operator=(const PrivateFolder &) = delete;
    PrivateFolder &operator=(PrivateFolder &&other) noexcept;
    ~PrivateFolder();

    const QString &path() const { return m_path; }

    // The names of the folders in it, sorted; links and files are left out.
    QStringList folders() const;
    // What lies at relativePath below it ("/" between names), the last name not followed.
    PathEntry::Kind kind(const QString &relativePath) const;
    // The folder name in it, checked as open() checks it; nothing when nothing lies there.
    std::optional<PrivateFolder> folder(const QString &name) const;
    // The file at relativePath below it, when it and every folder on the way belong to this user, no one
    // else may write them, and it holds at most maxSize bytes. Throws Failure naming the path otherwise.
    QByteArray read(const QString &relativePath, qint64 maxSize) const;
    // Removes name and everything below it. A link is removed itself, never followed, also when it was
    // swapped in for a folder while the removal went on. Throws Failure naming what could not be removed.
    void remove(const QString &name) const;

private:
    PrivateFolder(qintptr handle, const QString &path);
    // The file name in this folder itself, checked.
    QByteArray readHere(const QString &name, qint64 maxSize) const;

    qintptr m_handle; // the folder's descriptor or handle, held open
    QString m_path;
};
