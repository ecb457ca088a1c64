// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/listview.h"

std::optional<std::vector<int>> NewRowIndexes(std::span<const int> order, int count)
{
    if (count < 0 || order.size() != size_t(count))
        return std::nullopt;
    std::vector<int> newIndex(order.size(), -1);
    for (size_t i = 0; i < order.size(); ++i) {
        const int old = order[i];
        if (old < 0 || old >= count || newIndex[size_t(old)] != -1)
            return std::nullopt;
        newIndex[size_t(old)] = int(i);
    }
    return newIndex;
}
