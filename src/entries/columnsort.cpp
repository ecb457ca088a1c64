// SPDX-License-Identifier: GPL-3.0-or-later
#include "entries/columnsort.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <vector>

// The result is that of a bubble sort with an early stop which exchanges neighbouring rows
// only when the upper one's text is greater, followed by a reversal when it exchanged
// nothing. Such a bubble sort exchanges exactly the pairs that are out of order, so its
// result is the stable ascending order; it exchanges nothing exactly when no neighbouring
// pair is out of order. Both are computed here in O(n log n) instead of O(n^2), as an order
// of row indexes that the list applies at once, so that the user's mark and selection travel
// with their entries.

namespace {
// The texts of `column`, row by row; all empty for a column the rows do not have.
std::vector<std::string_view> Keys(const ListView &list, int column)
{
    std::vector<std::string_view> keys(size_t(list.RowCount()));
    if (column < 0 || column >= int(std::tuple_size_v<Row>))
        return keys;
    for (size_t row = 0; row < keys.size(); ++row)
        keys[row] = list.RowAt(int(row))[size_t(column)];
    return keys;
}

bool IsAscending(const std::vector<std::string_view> &keys)
{
    const auto outOfOrder = [](std::string_view upper, std::string_view lower) {
        return CompareText(upper, lower) > 0;
    };
    return std::adjacent_find(keys.begin(), keys.end(), outOfOrder) == keys.end();
}

// Row indexes in stable ascending order of their keys.
std::vector<int> AscendingOrder(const std::vector<std::string_view> &keys)
{
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) {
        return CompareText(keys[size_t(a)], keys[size_t(b)]) < 0;
    });
    return order;
}
} // namespace

void SortByColumn(EntryList &entries, int column)
{
    entries.ReadForm();
    ListView &list = entries.List();
    entries.Form().EntryCount = list.RowCount();

    const std::vector<std::string_view> keys = Keys(list, column);
    if (IsAscending(keys))
        entries.ReverseRows();
    else
        entries.History().Sort(AscendingOrder(keys));
    entries.WriteForm();
}
