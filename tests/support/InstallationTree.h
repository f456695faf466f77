#pragma once

#include "database/Module1.h"
#include "model/FormValues.h"
#include "update/UpdateRun.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <string>

// A server installation in a temporary folder, or in a folder of that name inside it: every file of targets
// 3 to 14 exists with old content.
class InstallationTree {
public:
    explicit InstallationTree(const QString &folderName = QString());

    // The folder with a trailing backslash, as an administrator would type it into txtMud3Path.
    QString mud3Path() const;
    // The file of target i on disk, spelled the system's way, as causes name it.
    QString filePath(int target) const;
    QByteArray read(int target) const;
    static QByteArray oldContent(int target);
    QString settingsPath() const;

private:
    QTemporaryDir m_folder;
    QString m_root;
};

// A form whose SQL fields name the test database and its password, and whose Mud3 path is the tree.
void pointAtTestSystem(FormValues &form, const InstallationTree &tree);

// The update run, refused unless the SQL field names a loopback address.
RunOutcome runUpdateOnLoopback(Form &form, Module1 &module, const QString &settingsPath);

QByteArray readFile(const QString &path);

// For a failure message: the 1-based line where written first departs from expected, with both lines' bytes.
std::string firstDifferentLine(const QByteArray &written, const QByteArray &expected);

// The permission bits of a file, as chmod sets them (0644); on Linux only.
unsigned fileMode(const QString &path);
