#include "app/PreviewDialog.h"

#include "app/Fonts.h"
#include "app/ReviewView.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace {

using Preview::TargetPreview;

// A target that the run would fail at counts as failing, whatever its own preview shows.
TargetPreview::Outcome shownOutcome(const TargetPreview &target)
{
    return target.fails() ? TargetPreview::Outcome::Fails : target.outcome;
}

QString summaryOf(const Preview::RunPreview &preview)
{
    int files[3] = {};
    int tables[3] = {};
    for (const TargetPreview &target : preview.targets)
        ++(target.kind == TargetPreview::Kind::File ? files : tables)[int(shownOutcome(target))];
    const auto count = [&](TargetPreview::Outcome outcome) {
        return ReviewView::countOf(files[int(outcome)], tables[int(outcome)], QStringLiteral("table"));
    };
    return QStringLiteral("Changes: %1.   Unchanged: %2.   Would fail: %3.")
        .arg(count(TargetPreview::Outcome::Changes), count(TargetPreview::Outcome::Unchanged), count(TargetPreview::Outcome::Fails));
}

ReviewView::Entry entryOf(const TargetPreview &target)
{
    static const ReviewView::Look Looks[] = {ReviewView::Look::Changes, ReviewView::Look::Unchanged, ReviewView::Look::Fails};
    const TargetPreview::Outcome outcome = shownOutcome(target);
    ReviewView::Entry entry{target.caption, TargetPreview::stateOf(outcome), Looks[int(outcome)], false, target.cause, target.note};
    if (target.kind == TargetPreview::Kind::File && target.outcome != TargetPreview::Outcome::Fails)
        entry.file = &target.file;
    entry.rows = target.rows;
    return entry;
}

} // namespace

PreviewDialog::PreviewDialog(const Preview::RunPreview &preview, QWidget *parent)
    : QDialog(parent)
    , m_preview(preview)
{
    setObjectName(QStringLiteral("PreviewDialog"));
    setWindowTitle(QStringLiteral("Preview Changes"));
    setSizeGripEnabled(true);
    setFont(Fonts::dialog());

    auto *review = new ReviewView(QStringLiteral("Target"), {QStringLiteral("Now"), QStringLiteral("After the run")}, this);
    review->setObjectName(QStringLiteral("review"));
    review->setSummary(summaryOf(m_preview), m_preview.stop());
    std::vector<ReviewView::Entry> entries;
    for (const TargetPreview &target : m_preview.targets)
        entries.push_back(entryOf(target));
    review->setEntries(std::move(entries));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(review, 1);
    layout->addWidget(buttons);
    resize(ReviewView::dialogSize(this));
    review->setFocus();
}
