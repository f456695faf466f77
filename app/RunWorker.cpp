#include "app/RunWorker.h"

#include "model/Form.h"
#include "database/Module1.h"

#include <QCoreApplication>
#include <QEvent>
#include <exception>
#include <functional>

// Owns the database objects on the thread that uses them.
class RunThread::Worker : public QObject {
public:
    Module1 module;
};

namespace {

// The form as the run thread sees it: every call is made on the thread that owns the window, which
// waits for it in its event loop.
class FormOnOwnerThread : public Form {
public:
    FormOnOwnerThread(Form &form, QObject &owner)
        : m_form(form)
        , m_owner(owner)
    {
    }

    QString fieldText(Field field) const override
    {
        QString text;
        onOwnerThread([&] { text = m_form.fieldText(field); });
        return text;
    }
    void setFieldText(Field field, const QString &text) override
    {
        onOwnerThread([&] { m_form.setFieldText(field, text); });
    }
    bool isTicked(int target) const override
    {
        bool ticked = false;
        onOwnerThread([&] { ticked = m_form.isTicked(target); });
        return ticked;
    }
    QString caption(int target) const override
    {
        QString text;
        onOwnerThread([&] { text = m_form.caption(target); });
        return text;
    }
    void clearTick(int target) override
    {
        onOwnerThread([&] { m_form.clearTick(target); });
    }

private:
    void onOwnerThread(const std::function<void()> &step) const
    {
        QMetaObject::invokeMethod(&m_owner, step, Qt::BlockingQueuedConnection);
    }

    Form &m_form;
    QObject &m_owner;
};

} // namespace

RunThread::~RunThread()
{
    if (!m_thread.isRunning())
        return;
    m_thread.quit();
    m_thread.wait();
}

void RunThread::run(Form &form, const std::function<void(Form &, Module1 &)> &work)
{
    Q_ASSERT(!m_busy);
    if (m_worker == nullptr) {
        m_worker = new Worker;
        m_worker->moveToThread(&m_thread);
        connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        m_thread.start();
    }

    m_busy = true;
    QCoreApplication::instance()->installEventFilter(this);
    FormOnOwnerThread formOnThisThread(form, *this);
    std::exception_ptr thrown;
    bool ended = false;
    QMetaObject::invokeMethod(m_worker, [&] {
        try {
            work(formOnThisThread, m_worker->module);
        } catch (...) {
            thrown = std::current_exception();
        }
        QMetaObject::invokeMethod(this, [&ended] { ended = true; }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
    // Not a nested QEventLoop: a quit of the application ends every event loop, and this one must last
    // exactly as long as the run.
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // Input that arrived while the run ended is still queued; it belongs to the run and is dropped too.
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(this);
    m_busy = false;
    if (thrown)
        std::rethrow_exception(thrown);
}

bool RunThread::eventFilter(QObject *watched, QEvent *event)
{
    // Keys, clicks, wheel and touch, and closing the window: none of it may act on a run that goes on,
    // nor wait in a queue until it ends.
    if (!m_busy)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::Close) {
        event->ignore();
        return true;
    }
    if (event->isInputEvent())
        return true;
    return QObject::eventFilter(watched, event);
}
