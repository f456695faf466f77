#include "app/RunWorker.h"

#include "platform/Failure.h"
#include "update/BackupFolder.h"

namespace {

// The copy the run works on, telling the window of each change as it is made.
class ReportingForm : public FormValues {
public:
    ReportingForm(const FormValues &values, RunWorker &worker)
        : FormValues(values)
        , m_worker(worker)
    {
    }

    void setFieldText(Field field, const QString &text) override
    {
        FormValues::setFieldText(field, text);
        emit m_worker.fieldChanged(field, text);
    }

    void clearTick(int target) override
    {
        FormValues::clearTick(target);
        emit m_worker.tickCleared(target);
    }

private:
    RunWorker &m_worker;
};

} // namespace

RunWorker::RunWorker(const QString &settingsPath)
    : m_settingsPath(settingsPath)
{
}

RunOutcome RunWorker::update(const FormValues &form)
{
    ReportingForm reporting(form, *this);
    BackupFolder backup(m_settingsPath, reporting);
    return runUpdate(reporting, m_module, m_settingsPath, backup);
}

Preview::RunPreview RunWorker::preview(const FormValues &form)
{
    return Preview::previewRun(form, m_settingsPath);
}

RunWorker::PlannedRestore RunWorker::planRestore(const QString &folder, const FormValues &form)
{
    try {
        return {Restore::plan(folder, form, m_settingsPath), {}};
    } catch (const Failure &failure) {
        return {{}, failure.cause()};
    }
}

Restore::Result RunWorker::restore(const QString &folder, const QStringList &confirmed, bool withSettings, const FormValues &form)
{
    return Restore::restore(folder, confirmed, false, withSettings, form, m_module, m_settingsPath);
}
