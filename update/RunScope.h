#pragma once

#include <QString>

class FieldSource;

// What a run or a restore works on, as its record names it: the installation below the Mud3 path, the
// account database on the SQL Server, and the settings file.
struct RunScope {
    QString installation; // the Mud3 folder, as the file system is asked for it and as the lock takes it
    QString server;       // txtSQLIP, as the connection is given it
    QString database;     // "Account", the catalog that every connection opens
    QString settingsPath;

    // The Mud3 path as the run uses it, normalised.
    static RunScope of(const FieldSource &fields, const QString &settingsPath);

    // What a path names, whatever way it is spelled ("//", "./", a link on the way): the place itself where it
    // exists, else the path made clean. Two paths of one place have one identity.
    static QString identity(const QString &path);
};
