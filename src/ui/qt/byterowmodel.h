#pragma once

#include "common/rowstore.h"
#include "common/text.h"

#include <QAbstractTableModel>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// A cell's bytes as the list shows them: a list row is one line, so line breaks inside a text
// are shown as spaces.
QString CellDisplay(std::string_view bytes);

// The list's rows, kept in a RowStore under at most three column headings, with the pixel width
// of every cell once it has been measured. This is the only place the entries are kept while
// the program runs. Rows and cells are addressed by index; callers check them first (IsCell,
// rowCount()).
class ByteRowModel : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    bool IsCell(int row, int column) const
    {
        return row >= 0 && row < rowCount() && column >= 0 && column < columnCount();
    }
    // The texts of an existing row, valid until the rows change.
    RowView RowAt(int row) const { return m_rows.At(size_t(row)); }
    // All rows; copying them is cheap (see RowStore).
    const RowStore &Rows() const { return m_rows; }

    // Rows have room for three texts, so a fourth column is not inserted.
    void InsertColumn(int column, const Text &heading);
    // `index` must lie in 0..rowCount().
    void InsertLines(int index, RowStore added);
    void RemoveLine(int row);
    void SetText(int row, int column, std::string_view text);
    // `texts` has rowCount() elements.
    void SetAllTexts(const std::vector<Row> &texts);
    // Row i takes the texts of row order[i]; newIndex is the inverse of order. Persistent
    // indexes, and with them the view's selection and current row, go along with their rows.
    void Reorder(std::span<const int> order, const std::vector<int> &newIndex);

    // The width of the column's widest cell, in pixels: the widths already known, and
    // `measure(bytes)` for the others. A row whose cell is measured has its other unknown cells
    // measured too, since its texts lie together and the other columns are sized next.
    template <typename Measure> int WidestCell(int column, Measure &&measure) const;
    // Every width is measured again when next needed (the font or style changed).
    void ForgetWidths() { std::fill(m_widths.begin(), m_widths.end(), unknownWidths); }

private:
    // A cell's width in pixels; unknownWidth until measured, atLeastWidth for one too wide to
    // keep, which is measured again whenever it is needed.
    using Widths = std::array<std::uint16_t, 3>;
    static constexpr std::uint16_t unknownWidth = 0xFFFF;
    static constexpr std::uint16_t atLeastWidth = 0xFFFE;
    static constexpr Widths unknownWidths{unknownWidth, unknownWidth, unknownWidth};

    std::vector<Text> m_headings;
    RowStore m_rows;
    mutable std::vector<Widths> m_widths; // by row
};

template <typename Measure> int ByteRowModel::WidestCell(int column, Measure &&measure) const
{
    const size_t columns = m_headings.size();
    int widest = 0;
    // Bottom row first: a loaded journal stores its rows so, and memory is read fastest in
    // its own order.
    for (size_t row = m_rows.Count(); row-- > 0;) {
        Widths &known = m_widths[row];
        if (known[size_t(column)] < atLeastWidth) {
            widest = std::max(widest, int(known[size_t(column)]));
            continue;
        }
        const RowView texts = m_rows.At(row);
        for (size_t other = 0; other < columns; ++other) {
            if (known[other] < atLeastWidth)
                continue;
            const int width = measure(texts[other]);
            known[other] = std::uint16_t(std::min(width, int(atLeastWidth)));
            if (other == size_t(column))
                widest = std::max(widest, width);
        }
    }
    return widest;
}
