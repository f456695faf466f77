#pragma once

#include "model/FormValues.h"
#include "restore/Restore.h"

#include <QDialog>

class QCheckBox;
class QPushButton;
class QTableWidget;
class ReviewView;
class WorkerThread;

// The kept runs as a table, newest first, then the originals, and what restoring the chosen one would change
// as a review, as the preview shows a run: what changed since the run, or was kept from another database, is
// listed with a tick, put back only when ticked. The plan is read and the restore made on the window's worker,
// and while it works the dialog cannot be closed. Settings.ini and the window's fields go back only when asked for.
class RestoreDialog : public QDialog {
    Q_OBJECT

public:
    RestoreDialog(WorkerThread &jobs, const FormValues &fields, std::vector<Restore::KeptRun> runs, QWidget *parent = nullptr);

    // Closes, unless the worker is busy: Escape and the title bar's close button end here too.
    void reject() override;

signals:
    // Settings.ini holds the kept run's fields again: the window takes them.
    void settingsRestored();

private:
    void listRuns();
    void choose(int run);
    void showPlan(const Restore::Plan &plan, const QString &failure);
    void restore();
    void showResult(const Restore::Result &result, bool withSettings);

    WorkerThread &m_jobs;
    const FormValues m_fields;
    const std::vector<Restore::KeptRun> m_runs;
    QString m_folder;
    Restore::Plan m_plan; // what the review shows

    QTableWidget *m_runTable;
    ReviewView *m_review;
    QCheckBox *m_withSettings;
    QPushButton *m_restore;
};
