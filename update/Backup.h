#pragma once

#include "database/DatabaseTargets.h"

#include <QString>

// What an update run keeps of what it replaces, before it replaces it. Every method throws Failure naming
// the backup path it could not write; the caller has replaced nothing of that item yet.
class Backup : public RowKeeper {
public:
    // Keeps the file at path under caption (backslashes become folders). A missing file is nothing to keep.
    virtual void keepFile(const QString &caption, const QString &path) = 0;
    // Keeps the settings file as it is before the run saves it.
    virtual void keepSettings() = 0;
    // After a successful run: lets go of what no longer needs keeping.
    virtual void finish() = 0;
};
