// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

// The table behind FoldCase, generated from Unicode's CaseFolding.txt by tools/gen-casefold.py
// (statuses C and F).

// Code points first, first + stride, ... (count of them) each fold to themselves plus delta.
// Sorted by first; the runs' spans do not overlap.
struct CaseFoldRun
{
    char32_t first;
    std::uint16_t count;
    std::uint8_t stride;
    std::int32_t delta;
};

// A code point that folds to two or three, sorted by code point; unused places hold 0.
struct CaseFoldFull
{
    char32_t from;
    char32_t to[3];
};

extern const std::span<const CaseFoldRun> caseFoldRuns;
extern const std::span<const CaseFoldFull> caseFoldFull;
