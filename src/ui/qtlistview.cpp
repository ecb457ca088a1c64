#include "ui/qtlistview.h"

#include "ui/displaytext.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {
// A list row is one line: line breaks inside a text are shown as spaces.
QString CellDisplay(std::string_view bytes)
{
    Text oneLine(bytes);
    ReplaceAll(oneLine, "\r\n", " ");
    QString shown = ToDisplay(oneLine);
    shown.replace(QLatin1Char('\r'), QLatin1Char(' '));
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return shown;
}

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

// The list's rows, kept in a RowStore, with the pixel width of every cell once it has been
// measured. This is the only place the entries are kept while the program runs.
class ByteRowModel : public QAbstractTableModel
{
public:
    // A cell's width in pixels; unknownWidth until measured, atLeastWidth for one too wide to
    // keep, which is measured again whenever it is needed.
    using Widths = std::array<std::uint16_t, 3>;
    static constexpr std::uint16_t unknownWidth = 0xFFFF;
    static constexpr std::uint16_t atLeastWidth = 0xFFFE;
    static constexpr Widths unknownWidths{unknownWidth, unknownWidth, unknownWidth};

    std::vector<Text> headings;
    RowStore rows;
    std::vector<Widths> widths; // by row

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(rows.Count());
    }

    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(headings.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole)
            return CellDisplay(rows.At(size_t(index.row()))[size_t(index.column())]);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || section < 0 || section >= int(headings.size()))
            return {};
        if (role == Qt::DisplayRole)
            return CellDisplay(headings[size_t(section)]);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    }

    bool IsCell(int row, int column) const
    {
        return row >= 0 && row < rowCount() && column >= 0 && column < int(headings.size());
    }

    // Rows have room for three texts, so there are at most three columns.
    void InsertColumn(int column, const Text &heading)
    {
        if (headings.size() >= std::tuple_size_v<Row>)
            return;
        column = std::clamp(column, 0, int(headings.size()));
        beginInsertColumns({}, column, column);
        headings.insert(headings.begin() + column, heading);
        for (size_t row = 0; row < rows.Count(); ++row) {
            RowView texts = rows.At(row);
            std::move_backward(texts.texts.begin() + column, texts.texts.end() - 1,
                               texts.texts.end());
            texts.texts[size_t(column)] = {};
            rows.Set(row, texts);
        }
        std::fill(widths.begin(), widths.end(), unknownWidths);
        endInsertColumns();
    }

    void InsertLines(int index, RowStore added)
    {
        if (added.Empty())
            return;
        const size_t count = added.Count();
        beginInsertRows({}, index, index + int(count) - 1);
        rows.Insert(size_t(index), std::move(added));
        widths.insert(widths.begin() + index, count, unknownWidths);
        endInsertRows();
    }

    void RemoveLine(int row)
    {
        beginRemoveRows({}, row, row);
        rows.Remove(size_t(row));
        widths.erase(widths.begin() + row);
        endRemoveRows();
    }

    void SetText(int row, int column, std::string_view text)
    {
        RowView texts = rows.At(size_t(row));
        if (texts[size_t(column)] == text)
            return;
        texts.texts[size_t(column)] = text;
        rows.Set(size_t(row), texts);
        widths[size_t(row)][size_t(column)] = unknownWidth;
        const QModelIndex changed = index(row, column);
        emit dataChanged(changed, changed, {Qt::DisplayRole});
    }

    void SetAllTexts(const std::vector<Row> &texts)
    {
        for (size_t row = 0; row < texts.size(); ++row) {
            const RowView old = rows.At(row);
            bool changed = false;
            for (size_t column = 0; column < 3; ++column) {
                if (old[column] != texts[row][column]) {
                    widths[row][column] = unknownWidth;
                    changed = true;
                }
            }
            if (changed)
                rows.Set(row, RowView{{texts[row][0], texts[row][1], texts[row][2]}});
        }
        if (rows.Count() > 0 && !headings.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                             {Qt::DisplayRole});
    }

    // Row i takes the texts of row order[i]; newIndex is the inverse of order. Persistent
    // indexes, and with them the view's selection and current row, go along with their rows.
    void Reorder(std::span<const int> order, const std::vector<int> &newIndex)
    {
        // Only rows move: the heading keeps its sections and their widths.
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList before = persistentIndexList();
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex &old : before)
            after.push_back(index(newIndex[size_t(old.row())], old.column()));
        changePersistentIndexList(before, after);
        rows.Reorder(order);
        std::vector<Widths> reordered;
        reordered.reserve(widths.size());
        for (const int old : order)
            reordered.push_back(widths[size_t(old)]);
        widths = std::move(reordered);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

    void ForgetWidths() { std::fill(widths.begin(), widths.end(), unknownWidths); }
};

QtListView::QtListView(QWidget *parent) : QTreeView(parent), m_model(new ByteRowModel)
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

int QtListView::HeaderItemCount() const
{
    return m_model->columnCount();
}

int QtListView::InsertItem(int index, const Text &text0)
{
    index = std::clamp(index, 0, ItemCount());
    InsertRows(index, {Row{text0, {}, {}}});
    return index;
}

void QtListView::InsertRows(int index, RowStore rows)
{
    index = std::clamp(index, 0, ItemCount());
    const int count = int(rows.Count());
    m_model->InsertLines(index, std::move(rows));
    if (m_mark >= index)
        m_mark += count;
}

void QtListView::SetItemText(int row, int column, const Text &text)
{
    if (m_model->IsCell(row, column))
        m_model->SetText(row, column, text);
}

Text QtListView::ItemText(int row, int column) const
{
    if (!m_model->IsCell(row, column))
        return {};
    return Text(m_model->rows.At(size_t(row))[size_t(column)]);
}

bool QtListView::DeleteItem(int row)
{
    if (row < 0 || row >= ItemCount())
        return false;
    m_model->RemoveLine(row);
    if (m_mark == row) {
        m_mark = -1;
        selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    } else if (m_mark > row) {
        --m_mark;
    }
    return true;
}

int QtListView::ItemCount() const
{
    return m_model->rowCount();
}

std::vector<Row> QtListView::Rows() const
{
    return m_model->rows.ToRows();
}

RowView QtListView::RowAt(int row) const
{
    if (row < 0 || row >= ItemCount())
        return {};
    return m_model->rows.At(size_t(row));
}

RowStore QtListView::SnapshotRows() const
{
    return m_model->rows;
}

void QtListView::SetRowTexts(std::vector<Row> rows)
{
    if (rows.size() == m_model->rows.Count())
        m_model->SetAllTexts(rows);
}

void QtListView::ReorderRows(std::span<const int> order)
{
    const std::optional<std::vector<int>> newIndex = NewRowIndexes(order, ItemCount());
    if (!newIndex)
        return;
    m_model->Reorder(order, *newIndex);
    if (m_mark >= 0)
        m_mark = (*newIndex)[size_t(m_mark)];
}

int QtListView::CellMargin() const
{
    // What the item delegate puts on either side of a cell's text.
    return 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
}

double QtListView::Advance(char16_t character) const
{
    double &advance = m_advances[character];
    if (advance < 0)
        advance = QFontMetricsF(font()).horizontalAdvance(QChar(character));
    return advance;
}

int QtListView::TextWidth(const QString &text) const
{
    // Shaping a whole text is slow enough to make sizing a list of 100,000 rows take seconds.
    // Texts of Latin, Greek and similar letters without combining marks are measured by adding
    // up the advances of their characters instead; kerning only ever makes them narrower.
    constexpr char16_t firstCombiningMark = 0x0300;
    double width = 0;
    for (const QChar character : text) {
        if (character.unicode() >= firstCombiningMark)
            return QFontMetrics(font()).horizontalAdvance(text);
        width += Advance(character.unicode());
    }
    return int(std::ceil(width));
}

void QtListView::MeasureAscii() const
{
    // Fonts give advances in 1/64 pixels, and sums of those are exact in a double: adding them
    // up as integers then gives the very same width, several bytes at a time. A font whose
    // advances are not so (none known) keeps the plain sum of doubles.
    m_asciiSixtyFourths.fill(0);
    m_asciiExact = true;
    for (char16_t character = 0; character < 0x80; ++character) {
        const bool lineBreak = character == '\r' || character == '\n';
        const double units = Advance(lineBreak ? char16_t(' ') : character) * 64;
        m_asciiSixtyFourths[character] = std::int32_t(units);
        if (units != std::floor(units) || units < 0 || units > 1e6)
            m_asciiExact = false;
    }
    m_asciiMeasured = true;
}

int QtListView::CellWidth(std::string_view bytes) const
{
    // The width TextWidth gives for the cell as shown. A cell of ASCII bytes shows exactly
    // those characters in either encoding, so it is measured without building its string; a
    // line break (CR LF, or a lone CR or LF) is shown as one space.
    if (!m_asciiMeasured)
        MeasureAscii();
    if (m_asciiExact) {
        // Eight bytes a step, each looked up on its own: a high bit anywhere means the text is
        // not ASCII after all.
        constexpr std::uint64_t highBits = 0x8080808080808080ULL;
        const char *byte = bytes.data();
        const size_t size = bytes.size();
        std::uint64_t seen = 0;
        std::int64_t even = 0;
        std::int64_t odd = 0;
        size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, byte + i, sizeof word);
            seen |= word;
            for (int shift = 0; shift < 64; shift += 16) {
                even += m_asciiSixtyFourths[(word >> shift) & 0xFF];
                odd += m_asciiSixtyFourths[(word >> (shift + 8)) & 0xFF];
            }
        }
        for (; i < size; ++i) {
            const auto last = static_cast<unsigned char>(byte[i]);
            seen |= last;
            even += m_asciiSixtyFourths[last];
        }
        if ((seen & highBits) == 0) {
            std::int64_t total = even + odd;
            // Each CR LF was counted as two spaces.
            if (bytes.find('\r') != std::string_view::npos)
                total -= std::int64_t(CountOccurrences(bytes, "\r\n")) * m_asciiSixtyFourths[' '];
            return int((total + 63) / 64);
        }
        return TextWidth(CellDisplay(bytes));
    }
    double width = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char16_t character = static_cast<unsigned char>(bytes[i]);
        if (character >= 0x80)
            return TextWidth(CellDisplay(bytes));
        if (character == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i; // a line break is shown as one space
        if (character == '\r' || character == '\n')
            character = ' ';
        width += Advance(character);
    }
    return int(std::ceil(width));
}

int QtListView::ContentsWidth(int column) const
{
    if (m_advances.empty())
        m_advances.assign(0x300, -1.0);
    const RowStore &rows = m_model->rows;
    std::vector<ByteRowModel::Widths> &widths = m_model->widths;
    const auto columns = size_t(HeaderItemCount());
    int widest = 0;
    // Bottom row first: a loaded journal stores its rows so, and memory is read fastest in
    // its own order.
    for (size_t row = rows.Count(); row-- > 0;) {
        ByteRowModel::Widths &known = widths[row];
        if (known[size_t(column)] < ByteRowModel::atLeastWidth) {
            widest = std::max(widest, int(known[size_t(column)]));
            continue;
        }
        // Every column of the row at once: its texts lie together, and the other columns are
        // sized right after this one.
        const RowView texts = rows.At(row);
        for (size_t other = 0; other < columns; ++other) {
            if (known[other] < ByteRowModel::atLeastWidth)
                continue;
            const int width = CellWidth(texts[other]);
            known[other] = std::uint16_t(std::min(width, int(ByteRowModel::atLeastWidth)));
            if (other == size_t(column))
                widest = std::max(widest, width);
        }
    }
    return widest + CellMargin();
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
    const int rows = ItemCount();
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
    if (column < 0 || column >= HeaderItemCount())
        return;
    int width = ContentsWidth(column);
    if (mode == AutoSize::ContentsAndHeading) {
        width = std::max(width, HeadingWidth(column));
        const int last = HeaderItemCount() - 1;
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
    if (column < 0 || column >= HeaderItemCount())
        return 0;
    return columnWidth(column);
}

void QtListView::SetColumnWidth(int column, int width)
{
    if (column >= 0 && column < HeaderItemCount())
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
        m_advances.clear();
        m_asciiMeasured = false;
    }
    QTreeView::changeEvent(event);
}

void QtListView::keyPressEvent(QKeyEvent *event)
{
    // Ctrl+1, Ctrl+2, ... act as a click on the first, second, ... heading.
    const int column = event->key() - Qt::Key_1;
    if (event->modifiers() == Qt::ControlModifier && column >= 0 && column < HeaderItemCount() &&
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
