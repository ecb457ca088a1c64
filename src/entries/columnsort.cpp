#include "entries/columnsort.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

// The result is that of a bubble sort with an early stop which exchanges neighbouring rows
// only when the upper one's text is greater, followed by a reversal when it exchanged
// nothing. Such a bubble sort exchanges exactly the pairs that are out of order, so its
// result is the stable ascending order; it exchanges nothing exactly when no neighbouring
// pair is out of order. Both are computed here in O(n log n) instead of O(n^2).

namespace {
std::string_view Key(const Row &row, int column)
{
    if (column < 0 || column >= int(row.size()))
        return {};
    return row[std::size_t(column)];
}

bool IsAscending(const std::vector<Row> &rows, int column)
{
    const auto outOfOrder = [column](const Row &upper, const Row &lower) {
        return CompareText(Key(upper, column), Key(lower, column)) > 0;
    };
    return std::adjacent_find(rows.begin(), rows.end(), outOfOrder) == rows.end();
}
} // namespace

void SortByColumn(EntryList &entries, int column)
{
    entries.ReadForm();
    ListView &list = entries.List();
    entries.Form().EntryCount = list.ItemCount();

    std::vector<Row> rows;
    if (list.ItemCount() >= 2)
        rows = list.Rows();
    if (IsAscending(rows, column)) {
        entries.ReverseRows();
    } else {
        std::stable_sort(rows.begin(), rows.end(), [column](const Row &a, const Row &b) {
            return CompareText(Key(a, column), Key(b, column)) < 0;
        });
        list.SetRowTexts(std::move(rows));
    }
    entries.WriteForm();
}
