#pragma once

#include <QObject>
#include <QThread>
#include <functional>

class Form;
struct Module1;

// The thread that the update runs go on. A run can wait for the server for half a minute; meanwhile the
// window's thread keeps painting and drops every input, so that nothing typed or clicked during a run
// takes effect when it ends. The program's database objects live on this thread for good: a Qt SQL
// connection may only be used by the thread that made it.
class RunThread : public QObject {
    Q_OBJECT

public:
    RunThread() = default;
    RunThread(const RunThread &) = delete;
    RunThread &operator=(const RunThread &) = delete;
    ~RunThread() override;

    bool isBusy() const { return m_busy; }

    // Runs work on the thread and returns when it has ended, rethrowing what it threw. The form that
    // work gets carries each call over to the calling thread, which owns the controls. Until then the
    // calling thread's events are processed, except user input, which is dropped.
    void run(Form &form, const std::function<void(Form &, Module1 &)> &work);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Worker;

    QThread m_thread;
    Worker *m_worker = nullptr; // lives on m_thread, which deletes it when it ends
    bool m_busy = false;
};
