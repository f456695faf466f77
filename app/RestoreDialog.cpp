#include "app/RestoreDialog.h"

#include "app/DiffView.h"
#include "app/MessageBox.h"
#include "app/RunWorker.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

RestoreDialog::RestoreDialog(RunWorker &worker, const FormValues &fields, std::vector<Restore::KeptRun> runs, QWidget *parent)
    : QDialog(parent)
    , m_worker(worker)
    , m_fields(fields)
    , m_runs(std::move(runs))
    , m_runList(new QListWidget(this))
    , m_plan(new DiffView(this))
    , m_changedSince(new QListWidget(this))
    , m_withSettings(new QCheckBox(QStringLiteral("Also put back Settings.ini and the window's &fields"), this))
{
    setObjectName(QStringLiteral("RestoreDialog"));
    setWindowTitle(QStringLiteral("Restore a Kept Run"));
    setSizeGripEnabled(true);

    m_runList->setObjectName(QStringLiteral("runList"));
    for (const Restore::KeptRun &run : m_runs)
        m_runList->addItem(QFileInfo(run.folder).fileName() + QStringLiteral(": ") + run.description());
    m_plan->setObjectName(QStringLiteral("restorePlan"));
    m_changedSince->setObjectName(QStringLiteral("changedSince"));
    m_withSettings->setObjectName(QStringLiteral("withSettings"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_restore = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::ActionRole);
    m_restore->setObjectName(QStringLiteral("restore"));
    m_restore->setEnabled(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_restore, &QPushButton::clicked, this, &RestoreDialog::restore);
    connect(m_runList, &QListWidget::currentRowChanged, this, &RestoreDialog::choose);
    connect(&m_worker, &RunWorker::restorePlanned, this, &RestoreDialog::showPlan);
    connect(&m_worker, &RunWorker::restored, this, &RestoreDialog::showResult);

    auto *layout = new QVBoxLayout(this);
    const auto labelled = [this, layout](const QString &text, QWidget *widget) {
        auto *label = new QLabel(text, this);
        label->setBuddy(widget);
        layout->addWidget(label);
        layout->addWidget(widget);
    };
    labelled(m_runs.empty() ? QStringLiteral("No run is kept yet.") : QStringLiteral("&Kept runs, newest first:"), m_runList);
    labelled(QStringLiteral("What restoring it &changes:"), m_plan);
    labelled(QStringLiteral("Changed since the run, left as it is unless &ticked:"), m_changedSince);
    layout->addWidget(m_withSettings);
    layout->addWidget(buttons);
    layout->setStretch(3, 1);

    const QFontMetrics metrics(m_plan->font());
    resize(metrics.horizontalAdvance(QLatin1Char('x')) * 120, metrics.lineSpacing() * 44);
    m_runList->setFocus();
}

void RestoreDialog::choose()
{
    const int row = m_runList->currentRow();
    if (row < 0)
        return;
    m_folder = m_runs.at(size_t(row)).folder;
    setWorking(true);
    QMetaObject::invokeMethod(&m_worker, [worker = &m_worker, folder = m_folder, fields = m_fields] { worker->planRestore(folder, fields); });
}

void RestoreDialog::showPlan(const Restore::Plan &plan, const QString &failure)
{
    setWorking(false);
    m_changedSince->clear();
    if (!failure.isEmpty()) {
        m_plan->setLines({failure});
        m_restore->setEnabled(false);
        return;
    }
    m_plan->setLines(plan.lines());
    for (const Restore::Item &item : plan.items) {
        if (!item.needsConfirmation())
            continue;
        auto *entry = new QListWidgetItem(item.name, m_changedSince);
        entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
        entry->setCheckState(Qt::Unchecked);
    }
    m_restore->setEnabled(plan.databaseFailure.isEmpty());
}

void RestoreDialog::restore()
{
    QStringList confirmed;
    for (int row = 0; row < m_changedSince->count(); ++row) {
        if (m_changedSince->item(row)->checkState() == Qt::Checked)
            confirmed.append(m_changedSince->item(row)->text());
    }
    setWorking(true);
    QMetaObject::invokeMethod(&m_worker, [worker = &m_worker, folder = m_folder, confirmed, withSettings = m_withSettings->isChecked(),
                                          fields = m_fields] { worker->restore(folder, confirmed, withSettings, fields); });
}

void RestoreDialog::showResult(const Restore::Result &result, bool withSettings)
{
    setWorking(false);
    if (result.outcome.succeeded && withSettings)
        emit settingsRestored();
    QString details = result.outcome.cause;
    if (!result.leftAlone.isEmpty())
        details += (details.isEmpty() ? QString() : QStringLiteral("\n")) + QStringLiteral("Left as it is now: ") + result.leftAlone.join(QStringLiteral("; "));
    showMessage(this, result.outcome.succeeded ? QStringLiteral("The run was restored.") : result.outcome.message, details);
    if (result.outcome.succeeded)
        accept();
}

void RestoreDialog::setWorking(bool working)
{
    for (QWidget *child : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        child->setEnabled(!working);
    if (working)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}
