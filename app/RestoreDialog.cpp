#include "app/RestoreDialog.h"

#include "app/Fonts.h"
#include "app/MessageBox.h"
#include "app/ReviewView.h"
#include "app/RunWorker.h"
#include "app/WorkerThread.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

using Restore::Item;

// What stands in the way of an item that cannot be put back, as the plan says it.
QString causeOf(const Item &item)
{
    QStringList lines;
    for (const QString &line : item.lines)
        lines.append(line.trimmed());
    return lines.join(QLatin1Char('\n'));
}

ReviewView::Entry entryOf(const Item &item)
{
    ReviewView::Entry entry{item.name, {}, ReviewView::Look::Changes, false, {}, item.note};
    switch (item.state) {
    case Item::State::AsWritten:
        entry.state = item.kind == Item::Kind::Settings ? QStringLiteral("put back if asked") : QStringLiteral("put back");
        break;
    case Item::State::AsKept:
        entry.state = QStringLiteral("as kept already");
        entry.look = ReviewView::Look::Unchanged;
        break;
    case Item::State::ChangedSince:
        entry.state = QStringLiteral("changed since");
        entry.tickable = true;
        break;
    case Item::State::OtherDatabase:
        entry.state = QStringLiteral("from another database");
        entry.tickable = true;
        break;
    case Item::State::CannotRestore:
        entry.state = QStringLiteral("cannot be put back");
        entry.look = ReviewView::Look::Fails;
        entry.cause = causeOf(item);
        return entry;
    }
    if (item.kind == Item::Kind::Row)
        entry.rows = {Preview::RowDiff{{}, item.columns, {}}};
    else
        entry.file = &item.file;
    return entry;
}

QString summaryOf(const Restore::Plan &plan)
{
    int files[int(Item::State::CannotRestore) + 1] = {};
    int rows[int(Item::State::CannotRestore) + 1] = {};
    // Settings.ini goes back only when asked for below, and is not counted.
    for (const Item &item : plan.items) {
        if (item.kind != Item::Kind::Settings)
            ++(item.kind == Item::Kind::Row ? rows : files)[int(item.state)];
    }
    const auto count = [&](Item::State state) { return ReviewView::countOf(files[int(state)], rows[int(state)], QStringLiteral("row")); };
    const auto countToConfirm = [&] {
        return ReviewView::countOf(files[int(Item::State::ChangedSince)] + files[int(Item::State::OtherDatabase)],
                                   rows[int(Item::State::ChangedSince)] + rows[int(Item::State::OtherDatabase)], QStringLiteral("row"));
    };
    return QStringLiteral("Put back: %1.   As kept already: %2.   Changed since the run, put back where ticked: %3.   Cannot be put back: %4.")
        .arg(count(Item::State::AsWritten), count(Item::State::AsKept), countToConfirm(), count(Item::State::CannotRestore));
}

} // namespace

RestoreDialog::RestoreDialog(WorkerThread &jobs, const FormValues &fields, std::vector<Restore::KeptRun> runs, QWidget *parent)
    : QDialog(parent)
    , m_jobs(jobs)
    , m_fields(fields)
    , m_runs(std::move(runs))
    , m_runTable(new QTableWidget(this))
    , m_review(new ReviewView(QStringLiteral("Kept"), {QStringLiteral("Now"), QStringLiteral("As kept")}, this))
    , m_withSettings(new QCheckBox(QStringLiteral("Also put back Settings.ini and the window's &fields"), this))
{
    setObjectName(QStringLiteral("RestoreDialog"));
    setWindowTitle(QStringLiteral("Restore a Kept Run"));
    setSizeGripEnabled(true);
    setFont(Fonts::dialog());
    m_runTable->setObjectName(QStringLiteral("runTable"));
    m_review->setObjectName(QStringLiteral("review"));
    m_withSettings->setObjectName(QStringLiteral("withSettings"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_restore = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::ActionRole);
    m_restore->setObjectName(QStringLiteral("restore"));
    m_restore->setEnabled(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_restore, &QPushButton::clicked, this, &RestoreDialog::restore);

    auto *runsLabel = new QLabel(m_runs.empty() ? QStringLiteral("No run is kept yet.") : QStringLiteral("&Kept runs, newest first:"), this);
    runsLabel->setBuddy(m_runTable);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_withSettings);
    bottom->addStretch();
    bottom->addWidget(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(runsLabel);
    layout->addWidget(m_runTable);
    layout->addWidget(m_review, 1);
    layout->addLayout(bottom);

    listRuns();
    resize(ReviewView::dialogSize(this));
    m_runTable->setFocus();
}

void RestoreDialog::reject()
{
    if (!m_jobs.busy())
        QDialog::reject();
}

// One line each: when, what it holds, how it ended, and what else is known of it; the originals in bold.
void RestoreDialog::listRuns()
{
    m_runTable->setColumnCount(4);
    m_runTable->setHorizontalHeaderLabels(
        {QStringLiteral("When"), QStringLiteral("What it holds"), QStringLiteral("How it ended"), QStringLiteral("Note")});
    m_runTable->setRowCount(int(m_runs.size()));
    for (int row = 0; row < m_runTable->rowCount(); ++row) {
        const Restore::KeptRun &run = m_runs.at(size_t(row));
        const QStringList cells{run.record.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), run.record.summary(), run.ending(),
                                run.remarks().join(QStringLiteral("; "))};
        for (int column = 0; column < cells.size(); ++column) {
            auto *cell = new QTableWidgetItem(cells.at(column));
            QFont font = m_runTable->font();
            font.setBold(run.isOriginal());
            cell->setFont(font);
            m_runTable->setItem(row, column, cell);
        }
    }
    m_runTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_runTable->setTabKeyNavigation(false);
    m_runTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_runTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_runTable->setWordWrap(false);
    m_runTable->verticalHeader()->hide();
    m_runTable->horizontalHeader()->setStretchLastSection(true);
    m_runTable->resizeColumnsToContents();
    // Room for five runs; the plan below takes the rest.
    const int rows = std::min(5, std::max(1, m_runTable->rowCount()));
    m_runTable->setFixedHeight(m_runTable->horizontalHeader()->height() + rows * m_runTable->verticalHeader()->defaultSectionSize()
                               + 2 * m_runTable->frameWidth());
    connect(m_runTable, &QTableWidget::currentCellChanged, this, [this](int row) { choose(row); });
    if (!m_runs.empty())
        m_runTable->selectRow(0);
}

void RestoreDialog::choose(int run)
{
    if (run < 0)
        return;
    m_folder = m_runs.at(size_t(run)).folder;
    m_restore->setEnabled(false);
    m_review->setSummary(QStringLiteral("Reading what restoring the run would change\u2026"));
    m_review->setEntries({});
    m_jobs.start(m_fields, [dialog = QPointer(this), folder = m_folder](RunWorker &worker, const FormValues &fields) {
        const RunWorker::PlannedRestore planned = worker.planRestore(folder, fields);
        return [dialog, planned] {
            if (dialog)
                dialog->showPlan(planned.plan, planned.failure);
        };
    });
}

void RestoreDialog::showPlan(const Restore::Plan &plan, const QString &failure)
{
    m_plan = plan;
    if (!failure.isEmpty()) {
        m_review->setSummary(QStringLiteral("This run cannot be restored."), {failure});
        m_review->setEntries({});
        return;
    }
    QStringList stop;
    if (!m_plan.databaseFailure.isEmpty())
        stop = QStringList{QStringLiteral("The rows cannot be read, so the restore would stop before changing anything:"), m_plan.databaseFailure};
    m_review->setSummary(summaryOf(m_plan), stop);
    std::vector<ReviewView::Entry> entries;
    for (const Item &item : m_plan.items)
        entries.push_back(entryOf(item));
    m_review->setEntries(std::move(entries));
    const bool putsBackAny = std::any_of(m_plan.items.begin(), m_plan.items.end(), [](const Item &item) {
        return item.state != Item::State::AsKept && item.state != Item::State::CannotRestore;
    });
    m_restore->setEnabled(m_plan.databaseFailure.isEmpty() && putsBackAny);
}

void RestoreDialog::restore()
{
    const bool withSettings = m_withSettings->isChecked();
    // The plan shown is spent: after a failure it is read again before the next restore.
    m_restore->setEnabled(false);
    m_jobs.start(m_fields, [dialog = QPointer(this), folder = m_folder, confirmed = m_review->ticked(), withSettings](RunWorker &worker,
                                                                                                                  const FormValues &fields) {
        const Restore::Result result = worker.restore(folder, confirmed, withSettings, fields);
        return [dialog, result, withSettings] {
            if (dialog)
                dialog->showResult(result, withSettings);
        };
    });
}

void RestoreDialog::showResult(const Restore::Result &result, bool withSettings)
{
    if (result.outcome.succeeded && withSettings)
        emit settingsRestored();
    QString details = result.outcome.cause;
    if (!result.leftAlone.isEmpty())
        details += (details.isEmpty() ? QString() : QStringLiteral("\n")) + QStringLiteral("Left as it is now: ") + result.leftAlone.join(QStringLiteral("; "));
    showMessage(this, result.outcome.succeeded ? QStringLiteral("The run was restored.") : result.outcome.message, details);
    if (result.outcome.succeeded)
        accept();
    else
        choose(m_runTable->currentRow());
}
