// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testsupport.h"

#include "common/textfile.h"
#include "journal/journalformat.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>
#include <utility>

namespace {
bool validRow(const std::vector<Row> &rows, int row)
{
    return row >= 0 && row < int(rows.size());
}
} // namespace

void FakeListView::InsertColumn(int column, const Text &heading)
{
    column = std::clamp(column, 0, int(headings.size()));
    headings.insert(headings.begin() + column, heading);
    widths.insert(widths.begin() + column, 0);
}

int FakeListView::HeadingCount() const
{
    return hasHeader ? int(headings.size()) : -1;
}

int FakeListView::InsertRow(int index, const RowView &texts)
{
    index = std::clamp(index, 0, int(rows.size()));
    rows.insert(rows.begin() + index, texts.ToRow());
    return index;
}

void FakeListView::InsertRows(int index, RowStore newRows)
{
    index = std::clamp(index, 0, int(rows.size()));
    const std::vector<Row> added = RowsOf(newRows);
    rows.insert(rows.begin() + index, added.begin(), added.end());
}

void FakeListView::SetRow(int row, const RowView &texts)
{
    if (validRow(rows, row))
        rows[size_t(row)] = texts.ToRow();
}

RowView FakeListView::RowAt(int row) const
{
    if (row < 0 || row >= int(rows.size()))
        return {};
    const Row &texts = rows[size_t(row)];
    return RowView{{texts[0], texts[1], texts[2]}};
}

bool FakeListView::RemoveRow(int row)
{
    if (!validRow(rows, row))
        return false;
    rows.erase(rows.begin() + row);
    return true;
}

int FakeListView::RowCount() const
{
    return int(rows.size());
}

void FakeListView::ReorderRows(std::span<const int> order)
{
    const std::optional<std::vector<int>> newIndex = NewRowIndexes(order, RowCount());
    if (!newIndex)
        return;
    std::vector<Row> reordered;
    for (const int old : order)
        reordered.push_back(std::move(rows[size_t(old)]));
    rows = std::move(reordered);
    if (selectionMark >= 0)
        selectionMark = (*newIndex)[size_t(selectionMark)];
}

void FakeListView::AutoSizeColumn(int column, AutoSize mode)
{
    if (column < 0 || column >= int(widths.size()))
        return;
    size_t longest = 0;
    for (const Row &row : rows)
        longest = std::max(longest, row[column].size());
    int width = int(longest) * unitsPerByte;
    if (mode == AutoSize::ContentsAndHeading) {
        width = std::max(width, int(headings[column].size()) * unitsPerByte);
        if (column == int(widths.size()) - 1) {
            int others = 0;
            for (int i = 0; i < column; ++i)
                others += widths[i];
            width = std::max(width, clientWidth - others);
        }
    }
    widths[column] = width;
}

int FakeListView::ColumnWidth(int column) const
{
    return column >= 0 && column < int(widths.size()) ? widths[column] : 0;
}

void FakeListView::SetColumnWidth(int column, int width)
{
    if (column >= 0 && column < int(widths.size()))
        widths[column] = width;
}

void FakeFormExchange::ReadForm()
{
    ++reads;
    m_form = controls;
}

void FakeFormExchange::WriteForm()
{
    ++writes;
    controls = m_form;
}

int ScriptedBoxes::DialogBox(const Text &text, const Text &caption, BoxType type)
{
    shown.push_back({text, caption, type, false});
    if (whileShown)
        std::exchange(whileShown, nullptr)();
    return Next(type);
}

int ScriptedBoxes::AppBox(const Text &text, BoxType type)
{
    shown.push_back({text, appTitle, type, true});
    return Next(type);
}

int ScriptedBoxes::ChoiceBox(const Text &text, const Text &caption, const Text &accept,
                             const Text &decline)
{
    return DialogBox(text, caption + "|" + accept + "|" + decline, BoxYesNo);
}

int ScriptedBoxes::Next(BoxType type)
{
    if (answers.empty())
        return type == BoxYesNo ? AnswerNo : AnswerOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

std::string ReadBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::vector<Row> RowsOf(const RowStore &store)
{
    std::vector<Row> rows;
    for (size_t row = 0; row < store.Count(); ++row)
        rows.push_back(store.At(row).ToRow());
    return rows;
}

Text CellText(const ListView &list, int row, int column)
{
    return Text(list.RowAt(row)[size_t(column)]);
}

std::vector<Row> LoadedRows(std::string_view text, const EntryForm &start)
{
    return RowsOf(*ParseJournalRows(Text(text), start, std::numeric_limits<size_t>::max()));
}

Text SavedBytes(const std::vector<Row> &rows)
{
    Text bytes;
    ByteOutput out([&bytes](std::string_view piece) {
        bytes.append(piece);
        return true;
    });
    WriteJournalFile(RowStore::FromRows(rows), out);
    out.Finish();
    return bytes;
}

Text SavedText(const std::vector<Row> &rows)
{
    Text text = SavedBytes(rows);
    ToTextModeText(text);
    return text;
}
