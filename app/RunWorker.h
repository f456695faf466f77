#pragma once

#include "database/Module1.h"
#include "model/FormValues.h"
#include "preview/Preview.h"
#include "restore/Restore.h"
#include "update/UpdateRun.h"

#include <QObject>

// Does the update runs, the previews and the restores, on the thread of WorkerThread, so that the window keeps
// painting while a run waits for the database, for up to half a minute. It owns the program's database
// objects: a Qt SQL connection may only be used by the thread that made it. Each job is handed a copy of the
// window's fields and ticks; what a run changes in them comes back as signals.
class RunWorker : public QObject {
    Q_OBJECT

public:
    explicit RunWorker(const QString &settingsPath);

    RunOutcome update(const FormValues &form);
    Preview::RunPreview preview(const FormValues &form);

    // What restoring the run kept in folder would change, read with the database of form's fields; or why the
    // folder cannot be restored at all, with an empty plan.
    struct PlannedRestore {
        Restore::Plan plan;
        QString failure;
    };
    PlannedRestore planRestore(const QString &folder, const FormValues &form);
    Restore::Result restore(const QString &folder, const QStringList &confirmed, bool withSettings, const FormValues &form);

signals:
    void fieldChanged(Field field, const QString &text);
    void tickCleared(int target);

private:
    const QString m_settingsPath;
    Module1 m_module;
};
