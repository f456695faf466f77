#include "app/WorkerThread.h"

#include "app/RunWorker.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

// The busy state of one job: set up when it is made, undone when it goes, so that no ending of a job can
// leave the cursor or the application's input behind.
class WorkerThread::Busy : public QObject {
public:
    Busy()
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~Busy() override { QGuiApplication::restoreOverrideCursor(); }
    Q_DISABLE_COPY_MOVE(Busy)

protected:
    // Keys, clicks, wheel and touch, and the shortcuts that keys make: none of it may act on a job that goes on,
    // nor wait in a queue until it ends.
    bool eventFilter(QObject *, QEvent *event) override
    {
        return event->isInputEvent() || event->type() == QEvent::Shortcut;
    }
};

WorkerThread::WorkerThread(const QString &settingsPath)
    : m_worker(new RunWorker(settingsPath))
{
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

WorkerThread::~WorkerThread()
{
    m_thread.quit();
    m_thread.wait();
}

bool WorkerThread::busy() const
{
    return m_busy != nullptr;
}

bool WorkerThread::start(const Form &form, Job job)
{
    if (m_busy)
        return false;
    m_busy = std::make_unique<Busy>();
    QMetaObject::invokeMethod(m_worker, [this, job = std::move(job), values = FormValues::copyOf(form)] {
        const std::function<void()> showResult = job(*m_worker, values);
        QMetaObject::invokeMethod(this, [this, showResult] { end(showResult); });
    });
    return true;
}

const RunWorker &WorkerThread::worker() const
{
    return *m_worker;
}

void WorkerThread::end(const std::function<void()> &showResult)
{
    // Input that arrived while the job ended is still queued; it belongs to the job and is dropped too.
    QCoreApplication::processEvents();
    m_busy.reset();
    showResult();
}
