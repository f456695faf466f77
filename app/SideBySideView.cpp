#include "app/SideBySideView.h"

#include "app/DiffColours.h"
#include "app/FileDiffModel.h"
#include "app/Fonts.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

// A line's text with the part that differs from the line beside it marked behind the letters.
class ChangedTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const int length = index.data(FileDiffModel::ChangedLengthRole).toInt();
        if (length == 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QString text = item.text;
        item.text.clear();
        const QWidget *widget = item.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(margin, 0, -margin, 0);
        const QFontMetrics metrics(item.font);
        const int from = index.data(FileDiffModel::ChangedFromRole).toInt();
        const bool oldSide = index.column() == FileDiffModel::OldText;
        // At least a few pixels wide: a line end that is gone or new has no width of its own.
        const QRect marked(textRect.left() + metrics.horizontalAdvance(text.left(from)), textRect.top(),
                           std::max(3, metrics.horizontalAdvance(text.mid(from, length))), textRect.height());
        painter->fillRect(marked.intersected(textRect), oldSide ? DiffColours::oldText() : DiffColours::newText());
        painter->setFont(item.font);
        painter->setPen(item.palette.color(QPalette::Text));
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          metrics.elidedText(text, Qt::ElideRight, textRect.width()));
    }
};

} // namespace

SideBySideView::SideBySideView(QWidget *parent)
    : QTreeView(parent)
{
    setFont(Fonts::fixedPitch());
    setRootIsDecorated(false);
    setUniformRowHeights(true); // what lets a file of any length open at once
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new ChangedTextDelegate(this));
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
}

void SideBySideView::setDiff(const Preview::FileDiff &diff, const QStringList &headers)
{
    clear();
    m_model = new FileDiffModel(diff, headers, this);
    setModel(m_model);

    // The line numbers as wide as the largest of them; the two texts share the rest alike.
    const int numberWidth = fontMetrics().horizontalAdvance(QString::number(std::max(diff.oldLines.size(), diff.newLines.size())))
        + 3 * fontMetrics().averageCharWidth();
    for (int column : {FileDiffModel::OldNumber, FileDiffModel::NewNumber}) {
        header()->setSectionResizeMode(column, QHeaderView::Fixed);
        header()->resizeSection(column, numberWidth);
    }
    for (int column : {FileDiffModel::OldText, FileDiffModel::NewText})
        header()->setSectionResizeMode(column, QHeaderView::Stretch);
    showChange(m_model->changeStarts().empty() ? 0 : m_model->changeStarts().front());
}

void SideBySideView::clear()
{
    setModel(nullptr);
    delete m_model;
    m_model = nullptr;
}

void SideBySideView::keyPressEvent(QKeyEvent *event)
{
    const bool next = event->key() == Qt::Key_Down;
    if (!m_model || event->modifiers() != Qt::AltModifier || (!next && event->key() != Qt::Key_Up)) {
        QTreeView::keyPressEvent(event);
        return;
    }
    const std::vector<int> &starts = m_model->changeStarts();
    const int current = currentIndex().row();
    const auto after = std::upper_bound(starts.begin(), starts.end(), current);
    const auto before = std::lower_bound(starts.begin(), starts.end(), current);
    if (next && after != starts.end())
        showChange(*after);
    else if (!next && before != starts.begin())
        showChange(*std::prev(before));
}

// The row becomes the current one, with a few lines of what comes before it in sight above it.
void SideBySideView::showChange(int row)
{
    if (m_model->rowCount() == 0)
        return;
    constexpr int ContextRows = 3;
    setCurrentIndex(m_model->index(row, FileDiffModel::OldText));
    scrollTo(m_model->index(std::max(0, row - ContextRows), FileDiffModel::OldText), QAbstractItemView::PositionAtTop);
}
