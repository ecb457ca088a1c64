// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/qtlistview.h"

#include "ui/qt/byterowmodel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>

namespace {
// Draws the focus rectangle of the row under the keyboard's cursor as a dotted outline with
// nothing filled in, whatever the style would fill it with, so that the row the cursor is on
// never looks selected when it is not.
class FocusOutlineStyle : public QProxyStyle
{
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        const auto *focus = qstyleoption_cast<const QStyleOptionFocusRect *>(option);
        if (element != PE_FrameFocusRect || !focus) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        // Dots in the colour opposite to the background: visible on a selected row too.
        QColor background = focus->backgroundColor;
        if (!background.isValid())
            background = option->palette.color(QPalette::Base);
        const QColor dots(background.red() ^ 0xff, background.green() ^ 0xff,
                          background.blue() ^ 0xff);
        const QRect r = option->rect;
        painter->save();
        painter->setPen(Qt::NoPen);
        painter->setBrush(QBrush(dots, Qt::Dense4Pattern));
        painter->setBrushOrigin(r.topLeft());
        painter->drawRect(r.left(), r.top(), r.width(), 1);
        painter->drawRect(r.left(), r.bottom(), r.width(), 1);
        painter->drawRect(r.left(), r.top(), 1, r.height());
        painter->drawRect(r.right(), r.top(), 1, r.height());
        painter->restore();
    }
};
} // namespace

QtListView::QtListView(QWidget *parent)
    : QTreeView(parent), m_model(new ByteRowModel), m_cellWidths(*this)
{
    m_model->setParent(this);
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setSortIndicatorShown(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header()->setSectionResizeMode(QHeaderView::Interactive);

    // The selection is drawn only while the list has the focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Inactive, QPalette::Base));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Inactive, QPalette::Text));
    setPalette(colours);
    auto *focusStyle = new FocusOutlineStyle;
    focusStyle->setParent(this); // outlives the widget's own destruction, which still uses it
    setStyle(focusStyle);

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { FollowCurrentRow(current); });
    connect(header(), &QHeaderView::sectionClicked, this, &QtListView::headingClicked);
}

QtListView::~QtListView() = default;

void QtListView::FollowCurrentRow(const QModelIndex &current)
{
    // The view also makes a row current on its own: the first one when it receives the focus
    // without having one, a neighbour when the current row is deleted. The mark names only the
    // row the user chose.
    if (m_userInput)
        m_mark = current.isValid() ? current.row() : -1;
}

void QtListView::InsertColumn(int column, const Text &heading)
{
    m_model->InsertColumn(column, heading);
}

int QtListView::HeadingCount() const
{
    return m_model->columnCount();
}

int QtListView::InsertRow(int index, const RowView &texts)
{
    index = std::clamp(index, 0, RowCount());
    m_model->InsertRow(index, texts);
    MarkInserted(index, 1);
    return index;
}

void QtListView::InsertRows(int index, RowStore rows)
{
    index = std::clamp(index, 0, RowCount());
    const int count = int(rows.Count());
    m_model->InsertRows(index, std::move(rows));
    MarkInserted(index, count);
}

void QtListView::MarkInserted(int index, int count)
{
    if (count > 0 && m_mark >= index)
        m_mark += count;
}

void QtListView::SetRow(int row, const RowView &texts)
{
    if (row >= 0 && row < RowCount())
        m_model->SetRow(row, texts);
}

bool QtListView::RemoveRow(int row)
{
    if (row < 0 || row >= RowCount())
        return false;
    m_model->RemoveRow(row);
    if (m_mark == row) {
        m_mark = -1;
        selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    } else if (m_mark > row) {
        --m_mark;
    }
    return true;
}

int QtListView::RowCount() const
{
    return m_model->rowCount();
}

RowView QtListView::RowAt(int row) const
{
    if (row < 0 || row >= RowCount())
        return {};
    return m_model->RowAt(row);
}

RowStore QtListView::SnapshotRows() const
{
    return m_model->Rows();
}

void QtListView::ReorderRows(std::span<const int> order)
{
    const std::optional<std::vector<int>> newIndex = NewRowIndexes(order, RowCount());
    if (!newIndex)
        return;
    m_model->Reorder(order, *newIndex);
    if (m_mark >= 0)
        m_mark = (*newIndex)[size_t(m_mark)];
}

std::vector<RowRange> QtListView::SelectedRows() const
{
    std::vector<RowRange> ranges;
    for (const QItemSelectionRange &range : selectionModel()->selection())
        ranges.push_back({range.top(), range.bottom()});
    std::sort(ranges.begin(), ranges.end(),
              [](const RowRange &a, const RowRange &b) { return a.first < b.first; });
    // The selection holds a range per column block and per click: one range a run of rows.
    std::vector<RowRange> rows;
    for (const RowRange &range : ranges) {
        if (!rows.empty() && range.first <= rows.back().last + 1)
            rows.back().last = std::max(rows.back().last, range.last);
        else
            rows.push_back(range);
    }
    return rows;
}

void QtListView::SelectRows(int mark, std::span<const RowRange> selected)
{
    const int count = RowCount();
    const int lastColumn = m_model->columnCount() - 1;
    QItemSelection selection;
    for (const RowRange &range : selected) {
        const int first = std::max(range.first, 0);
        const int last = std::min(range.last, count - 1);
        if (first <= last && lastColumn >= 0)
            selection.select(m_model->index(first, 0), m_model->index(last, lastColumn));
    }
    m_mark = mark >= 0 && mark < count ? mark : -1;
    selectionModel()->setCurrentIndex(m_mark >= 0 ? m_model->index(m_mark, 0) : QModelIndex(),
                                      QItemSelectionModel::NoUpdate);
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void QtListView::ChooseRow(int row)
{
    if (row < 0 || row >= RowCount())
        return;
    const RowRange only{row, row};
    SelectRows(row, {&only, 1});
    scrollTo(m_model->index(row, 0)); // the view scrolls only when the current row changes
    setFocus(Qt::OtherFocusReason); // where the selection shows; in an inactive window, once active
}

int QtListView::CellMargin() const
{
    // What the item delegate puts on either side of a cell's text.
    return 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
}

int QtListView::ContentsWidth(int column) const
{
    const auto measure = [this](std::string_view bytes) { return m_cellWidths.Width(bytes); };
    return m_model->WidestCell(column, measure) + CellMargin();
}

int QtListView::HeadingWidth(int column) const
{
    return header()->sectionSizeHint(column);
}

int QtListView::AvailableWidth() const
{
    const QRect inside = contentsRect();
    int width = inside.width();
    // Laid out or not yet, the vertical scroll bar takes its room once the rows overflow.
    const int rows = RowCount();
    if (rows > 0 && verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff) {
        const int rowsHeight = rows * sizeHintForRow(0);
        const int room = inside.height() - header()->sizeHint().height();
        if (rowsHeight > room)
            width -= verticalScrollBar()->sizeHint().width();
    }
    return width;
}

void QtListView::AutoSizeColumn(int column, AutoSize mode)
{
    if (column < 0 || column >= HeadingCount())
        return;
    int width = ContentsWidth(column);
    if (mode == AutoSize::ContentsAndHeading) {
        width = std::max(width, HeadingWidth(column));
        const int last = HeadingCount() - 1;
        if (column == last) {
            int others = 0;
            for (int i = 0; i < last; ++i)
                others += columnWidth(i);
            width = std::max(width, AvailableWidth() - others);
        }
    }
    setColumnWidth(column, width);
}

int QtListView::ColumnWidth(int column) const
{
    if (column < 0 || column >= HeadingCount())
        return 0;
    return columnWidth(column);
}

void QtListView::SetColumnWidth(int column, int width)
{
    if (column >= 0 && column < HeadingCount())
        setColumnWidth(column, std::max(width, 0));
}

void QtListView::SetFullRowSelect()
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
}

void QtListView::SetRedraw(bool on)
{
    setUpdatesEnabled(on);
}

void QtListView::InvalidateAndErase()
{
    viewport()->update();
    header()->viewport()->update();
}

void QtListView::SetClickableHeadings(bool clickable)
{
    header()->setSectionsClickable(clickable);
}

void QtListView::mousePressEvent(QMouseEvent *event)
{
    const QScopedValueRollback byUser(m_userInput, true);
    QTreeView::mousePressEvent(event);
}

void QtListView::mouseMoveEvent(QMouseEvent *event)
{
    const QScopedValueRollback byUser(m_userInput, true);
    QTreeView::mouseMoveEvent(event);
}

void QtListView::mouseReleaseEvent(QMouseEvent *event)
{
    {
        const QScopedValueRollback byUser(m_userInput, true);
        QTreeView::mouseReleaseEvent(event);
    }
    if (event->button() == Qt::LeftButton &&
        viewport()->rect().contains(event->position().toPoint()))
        emit listClicked();
}

void QtListView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_model->ForgetWidths();
        m_cellWidths.Forget();
    }
    QTreeView::changeEvent(event);
}

void QtListView::keyPressEvent(QKeyEvent *event)
{
    // Ctrl+1, Ctrl+2, ... act as a click on the first, second, ... heading.
    const int column = event->key() - Qt::Key_1;
    if (event->modifiers() == Qt::ControlModifier && column >= 0 && column < HeadingCount() &&
        header()->sectionsClickable()) {
        emit headingClicked(column);
        return;
    }
    {
        const QScopedValueRollback byUser(m_userInput, true);
        QTreeView::keyPressEvent(event);
    }
    // Space selects the row under the cursor; as the keyboard's click it also makes that row
    // the mark and loads it, so that an entry can be chosen without the mouse.
    const QModelIndex current = currentIndex();
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier &&
        current.isValid()) {
        m_mark = current.row();
        emit listClicked();
    }
}
