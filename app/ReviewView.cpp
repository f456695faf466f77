#include "app/ReviewView.h"

#include "app/DiffColours.h"
#include "app/Fonts.h"
#include "app/RowGrid.h"
#include "app/SideBySideView.h"

#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QLabel *plainLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// Red for a failure, the usual text colour otherwise.
void colour(QLabel *label, bool failure)
{
    QPalette palette;
    if (failure)
        palette.setColor(QPalette::WindowText, DiffColours::failure());
    label->setPalette(palette);
}

} // namespace

ReviewView::ReviewView(const QString &heading, const QStringList &sides, QWidget *parent)
    : QWidget(parent)
    , m_sides(sides)
    , m_summary(plainLabel(this))
    , m_splitter(new QSplitter(Qt::Horizontal, this))
    , m_list(new QTreeWidget(m_splitter))
    , m_remark(plainLabel(this))
    , m_detail(new QStackedWidget(this))
    , m_message(plainLabel(m_detail))
    , m_file(new SideBySideView(m_detail))
    , m_grid(new RowGrid(m_detail))
{
    m_summary->setObjectName(QStringLiteral("summary"));
    m_list->setObjectName(QStringLiteral("targets"));
    m_remark->setObjectName(QStringLiteral("remark"));
    m_message->setObjectName(QStringLiteral("message"));
    m_file->setObjectName(QStringLiteral("fileView"));
    m_grid->setObjectName(QStringLiteral("rowGrid"));

    m_list->setHeaderLabels({heading, QStringLiteral("State")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_detail->addWidget(m_message);
    m_detail->addWidget(m_file);
    m_detail->addWidget(m_grid);

    auto *detail = new QWidget(m_splitter);
    auto *detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->addWidget(m_remark);
    detailLayout->addWidget(m_detail, 1);
    m_splitter->addWidget(m_list);
    m_splitter->addWidget(detail);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setChildrenCollapsible(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_summary);
    layout->addWidget(m_splitter, 1);
    setFocusProxy(m_list);

    connect(m_list, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *item) { choose(item ? m_list->indexOfTopLevelItem(item) : -1); });
}

void ReviewView::setSummary(const QString &summary, const QStringList &stop)
{
    QStringList lines{summary};
    for (const QString &line : stop)
        lines.append(line.trimmed());
    m_summary->setText(lines.join(QLatin1Char('\n')));
    colour(m_summary, !stop.isEmpty());
}

void ReviewView::setEntries(std::vector<Entry> entries)
{
    // The file shown may belong to the entries that go.
    m_file->clear();
    m_entries = std::move(entries);
    m_list->clear();
    // The first failure, else the first change, else the first of all.
    const auto rank = [this](int at) {
        return at < 0 ? 3 : m_entries[size_t(at)].look == Look::Fails ? 0 : m_entries[size_t(at)].look == Look::Changes ? 1 : 2;
    };
    int chosen = -1;
    for (size_t index = 0; index < m_entries.size(); ++index) {
        const Entry &entry = m_entries[index];
        auto *item = new QTreeWidgetItem(m_list, {entry.name, entry.state});
        if (entry.tickable) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Qt::Unchecked);
        }
        if (entry.look == Look::Fails) {
            QFont bold = m_list->font();
            bold.setBold(true);
            item->setIcon(0, style()->standardIcon(QStyle::SP_MessageBoxWarning));
            for (int column = 0; column < 2; ++column) {
                item->setFont(column, bold);
                item->setForeground(column, DiffColours::failure());
            }
        } else if (entry.look == Look::Unchanged) {
            for (int column = 0; column < 2; ++column)
                item->setForeground(column, DiffColours::unchanged());
        }
        if (rank(int(index)) < rank(chosen))
            chosen = int(index);
    }
    if (m_entries.empty()) {
        choose(-1);
        return;
    }
    m_list->resizeColumnToContents(0);
    m_list->resizeColumnToContents(1);
    // The list as wide as its names and states, up to nearly half the view: the rest shows the chosen one.
    const int width = std::max(m_splitter->width(), ReviewView::dialogSize(this).width());
    const int listWidth = std::min(width * 9 / 20, m_list->header()->length() + 2 * m_list->frameWidth()
                                                       + style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    m_splitter->setSizes({listWidth, width - listWidth});
    m_list->setCurrentItem(m_list->topLevelItem(chosen));
}

QStringList ReviewView::ticked() const
{
    QStringList names;
    for (int index = 0; index < m_list->topLevelItemCount(); ++index) {
        if (m_list->topLevelItem(index)->checkState(0) == Qt::Checked)
            names.append(m_entries[size_t(index)].name);
    }
    return names;
}

QString ReviewView::countOf(int files, int others, const QString &other)
{
    QStringList parts;
    if (files > 0)
        parts.append(files == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(files));
    if (others > 0)
        parts.append(QStringLiteral("%1 %2%3").arg(others).arg(other, others == 1 ? QString() : QStringLiteral("s")));
    return parts.isEmpty() ? QStringLiteral("nothing") : parts.join(QStringLiteral(" and "));
}

QSize ReviewView::dialogSize(const QWidget *dialog)
{
    const QFontMetrics text(Fonts::fixedPitch());
    const QSize wanted(text.averageCharWidth() * 180, text.lineSpacing() * 44);
    const QSize screen = dialog->screen()->availableGeometry().size() * 9 / 10;
    return wanted.boundedTo(screen);
}

// What of a file too large to show whole is shown.
QString ReviewView::shownPartOf(const Preview::FileDiff &file) const
{
    QStringList parts;
    if (file.oldLines.size() < file.oldLineCount)
        parts.append(QStringLiteral("%1: the first %2 of its %3 lines").arg(m_sides.value(0)).arg(file.oldLines.size()).arg(file.oldLineCount));
    if (file.newLines.size() < file.newLineCount)
        parts.append(QStringLiteral("%1: the first %2 of its %3 lines").arg(m_sides.value(1)).arg(file.newLines.size()).arg(file.newLineCount));
    return parts.isEmpty() ? QString() : QStringLiteral("The file is too large to show whole. Shown are, ") + parts.join(QStringLiteral("; ")) + QLatin1Char('.');
}

void ReviewView::choose(int index)
{
    m_remark->hide();
    if (index < 0) {
        m_message->clear();
        m_detail->setCurrentWidget(m_message);
        return;
    }
    const Entry &entry = m_entries[size_t(index)];
    // A cause that one of the rows shows is not said twice.
    const bool causeInRows = std::any_of(entry.rows.begin(), entry.rows.end(), [&entry](const Preview::RowDiff &row) { return row.cause == entry.cause; });
    const bool failure = !entry.cause.isEmpty() && !causeInRows;
    QString remark = failure ? entry.cause : entry.note;
    if (entry.file) {
        remark = QStringList{remark, shownPartOf(*entry.file)}.join(QLatin1Char('\n')).trimmed();
        m_file->setDiff(*entry.file, m_sides);
        m_detail->setCurrentWidget(m_file);
    } else if (!entry.rows.empty()) {
        m_grid->setRows(entry.rows, m_sides);
        m_detail->setCurrentWidget(m_grid);
    } else {
        m_message->setText(entry.cause.isEmpty() ? entry.note : entry.cause);
        colour(m_message, !entry.cause.isEmpty());
        m_detail->setCurrentWidget(m_message);
        return;
    }
    if (!remark.isEmpty()) {
        m_remark->setText(remark);
        colour(m_remark, failure);
        m_remark->show();
    }
}
