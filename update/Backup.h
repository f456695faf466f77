#pragma once

#include "database/DatabaseTargets.h"

#include <QByteArray>
#include <QString>

// What an update run keeps of what it replaces, before it replaces it. The run tells it, through
// RowKeeper::changed(), each time the item kept last has been changed. The keep methods throw Failure
// naming the backup path they could not write; the caller has changed nothing of that item yet.
class Backup : public RowKeeper {
public:
    // Throws Failure when nothing could be kept, found out before the run writes anything.
    virtual void check() = 0;
    // Keeps the file at path, under caption (backslashes become folders), before the run writes it anew.
    virtual void keepFile(const QString &caption, const QString &path, const QByteArray &written) = 0;
    // Keeps the settings file before the run saves it; a missing one is nothing to keep.
    virtual void keepSettings(const QByteArray &written) = 0;
    // After a successful run. Never fails the run: what cannot be done is noted in the backup.
    virtual void finish() = 0;
    // After a failed run: what changed nothing is not kept. Never fails.
    virtual void abandon() = 0;
};
