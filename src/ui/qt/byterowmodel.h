// SPDX-License-Identifier: GPL-3.0-or-later
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

// The list shows only the start of each text, so that a text of megabytes is never converted,
// laid out or measured whole. 8 KiB are at least 2,730 characters of any script: wider than any
// screen at any size people read, so a column never needs more.
constexpr size_t shownBytes = 8192;
// No column is wider than this many pixels, whatever its texts.
constexpr int widestColumn = 0xFFFE;

// The start of `bytes` that the list shows: the first shownBytes, or a few bytes less so as
// not to end inside a UTF-8 sequence.
std::string_view ShownPart(std::string_view bytes);
// A cell's bytes as the list shows them: the shown part, in the encoding of the whole text
// (`utf8`, what IsValidUtf8 gives for all of `bytes`). A list row is one line, so line breaks
// inside a text are shown as spaces.
QString CellDisplay(std::string_view bytes, bool utf8);

// The list's rows, kept in a RowStore under at most three column headings, with the pixel width
// of every cell once it has been measured. This is the only place the entries are kept while
// the program runs. Rows are addressed by index; callers check them first (rowCount()).
class ByteRowModel : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The texts of an existing row, valid until the rows change.
    RowView RowAt(int row) const { return m_rows.At(size_t(row)); }
    // All rows; copying them is cheap (see RowStore).
    const RowStore &Rows() const { return m_rows; }

    // Rows have room for three texts, so a fourth column is not inserted.
    void InsertColumn(int column, const Text &heading);
    // `index` must lie in 0..rowCount().
    void InsertRows(int index, RowStore added);
    void InsertRow(int index, const RowView &texts);
    void RemoveRow(int row);
    // Only the columns that have a heading take their text.
    void SetRow(int row, const RowView &texts);
    // Row i takes the texts of row order[i]; newIndex is the inverse of order. Persistent
    // indexes, and with them the view's selection and current row, go along with their rows.
    void Reorder(std::span<const int> order, const std::vector<int> &newIndex);

    // The width of the column's widest cell in pixels, at most widestColumn: the widths already
    // known, and `measure(bytes)` for the others. A row whose cell is measured has its other
    // unknown cells measured too, since its texts lie together and the other columns are sized
    // next.
    template <typename Measure> int WidestCell(int column, Measure &&measure) const;
    // Every width is measured again when next needed (the font or style changed).
    void ForgetWidths();

private:
    static constexpr std::uint16_t unknownWidth = 0xFFFF;
    static_assert(widestColumn < unknownWidth);

    // What is known of a row's cells without reading their texts again: the width of each in
    // pixels (unknownWidth until measured), and the encoding of each text longer than the list
    // shows, two bits a column (see IsUtf8).
    struct Known
    {
        std::array<std::uint16_t, 3> widths{unknownWidth, unknownWidth, unknownWidth};
        std::uint8_t encodings = 0;
    };

    // The cell's text changed: its width and encoding are found again when needed.
    void Forget(size_t row, size_t column);
    // Whether the text of a cell is UTF-8, which decides how its shown part is shown. A long
    // text is read whole for it only once.
    bool IsUtf8(size_t row, size_t column, std::string_view text) const;

    std::vector<Text> m_headings;
    RowStore m_rows;
    mutable std::vector<Known> m_known; // by row
};

template <typename Measure> int ByteRowModel::WidestCell(int column, Measure &&measure) const
{
    const size_t columns = m_headings.size();
    int widest = 0;
    // Bottom row first: a loaded journal stores its rows so, and memory is read fastest in
    // its own order.
    for (size_t row = m_rows.Count(); row-- > 0;) {
        std::array<std::uint16_t, 3> &widths = m_known[row].widths;
        if (widths[size_t(column)] == unknownWidth) {
            const RowView texts = m_rows.At(row);
            for (size_t other = 0; other < columns; ++other) {
                if (widths[other] == unknownWidth)
                    widths[other] = std::uint16_t(std::min(measure(texts[other]), widestColumn));
            }
        }
        widest = std::max(widest, int(widths[size_t(column)]));
    }
    return widest;
}
