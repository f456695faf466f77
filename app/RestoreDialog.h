#pragma once

#include "model/FormValues.h"
#include "restore/Restore.h"

#include <QDialog>

class DiffView;
class QCheckBox;
class QListWidget;
class QPushButton;
class RunWorker;

// Lists the kept runs, newest first, then the originals, shows what restoring the chosen one would change, and restores it on
// the window's worker. What changed since the run is listed to be ticked one by one; Settings.ini and the
// window's fields go back only when asked for.
class RestoreDialog : public QDialog {
    Q_OBJECT

public:
    RestoreDialog(RunWorker &worker, const FormValues &fields, std::vector<Restore::KeptRun> runs, QWidget *parent = nullptr);

signals:
    // Settings.ini holds the kept run's fields again: the window takes them.
    void settingsRestored();

private:
    void choose();
    void showPlan(const Restore::Plan &plan, const QString &failure);
    void restore();
    void showResult(const Restore::Result &result, bool withSettings);
    // The dialog takes no input while the worker reads or writes; the cursor says so.
    void setWorking(bool working);

    RunWorker &m_worker;
    const FormValues m_fields;
    std::vector<Restore::KeptRun> m_runs;
    QString m_folder;

    QListWidget *m_runList;
    DiffView *m_plan;
    QListWidget *m_changedSince;
    QCheckBox *m_withSettings;
    QPushButton *m_restore;
};
