#pragma once

#include "model/FormValues.h"

#include <QThread>
#include <functional>
#include <memory>

class RunWorker;

// The window's worker on a thread of its own, and the one job that it runs at a time: a run, a preview, the
// plan of a restore or a restore. While a job runs the application is busy: the wait cursor shows, no input
// reaches the window or its dialogs, and a dialog cannot be closed. The end of the job releases all of it,
// whichever way the job ends, and only then is its result shown.
class WorkerThread : public QObject {
    Q_OBJECT

public:
    // What runs on the worker's thread, on a copy of the fields and ticks; it returns what shows the result,
    // done on the window's thread.
    using Job = std::function<std::function<void()>(RunWorker &, const FormValues &)>;

    explicit WorkerThread(const QString &settingsPath);
    // Waits for a job that still runs; its result is not shown.
    ~WorkerThread() override;

    bool busy() const;
    // Hands the worker the job on a copy of form taken now, unless a job runs already: then the job is dropped
    // and false returned.
    bool start(const Form &form, Job job);
    // For its signals: what a run changes in the window's fields and ticks, as it changes them.
    const RunWorker &worker() const;

private:
    class Busy;

    void end(const std::function<void()> &showResult);

    QThread m_thread;
    RunWorker *m_worker; // lives on m_thread, which deletes it when it ends
    std::unique_ptr<Busy> m_busy;
};
