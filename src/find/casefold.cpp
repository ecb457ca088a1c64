// SPDX-License-Identifier: GPL-3.0-or-later
#include "find/casefold.h"

#include "find/casefoldtable.h"

#include <algorithm>

FoldedChar FoldCase(char32_t codePoint)
{
    if (codePoint < 0x80) {
        const bool upper = codePoint >= U'A' && codePoint <= U'Z';
        return {{upper ? codePoint + 0x20 : codePoint}, 1};
    }
    const auto full =
        std::lower_bound(caseFoldFull.begin(), caseFoldFull.end(), codePoint,
                         [](const CaseFoldFull &entry, char32_t c) { return entry.from < c; });
    if (full != caseFoldFull.end() && full->from == codePoint)
        return {{full->to[0], full->to[1], full->to[2]}, full->to[2] ? 3 : 2};
    // The last run that starts at or before the code point.
    const auto after =
        std::upper_bound(caseFoldRuns.begin(), caseFoldRuns.end(), codePoint,
                         [](char32_t c, const CaseFoldRun &run) { return c < run.first; });
    if (after != caseFoldRuns.begin()) {
        const CaseFoldRun &run = *(after - 1);
        const char32_t offset = codePoint - run.first;
        if (offset % run.stride == 0 && offset / run.stride < run.count)
            return {{char32_t(std::int32_t(codePoint) + run.delta)}, 1};
    }
    return {{codePoint}, 1};
}

std::vector<char32_t> CharsFoldingInto(char32_t folded)
{
    std::vector<char32_t> chars;
    if (folded >= 0x80)
        chars.push_back(folded);
    for (const CaseFoldRun &run : caseFoldRuns) {
        for (char32_t i = 0, c = run.first; i < run.count; ++i, c += run.stride) {
            if (char32_t(std::int32_t(c) + run.delta) == folded && c >= 0x80)
                chars.push_back(c);
        }
    }
    for (const CaseFoldFull &full : caseFoldFull) {
        if (std::find(std::begin(full.to), std::end(full.to), folded) != std::end(full.to))
            chars.push_back(full.from);
    }
    return chars;
}
