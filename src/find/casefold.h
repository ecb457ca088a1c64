// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <vector>

// Unicode's full case folding (CaseFolding.txt, statuses C and F): the form in which texts that
// differ only in letter case become equal, "É" and "é" both "é", "STRASSE" and "Straße" both
// "strasse". A character folds to one, two or three characters.
struct FoldedChar
{
    std::array<char32_t, 3> codePoints{};
    int count = 0;
};

FoldedChar FoldCase(char32_t codePoint);

// Every character beyond ASCII whose folding holds `folded`, `folded` itself included when it
// lies beyond ASCII, in no particular order.
std::vector<char32_t> CharsFoldingInto(char32_t folded);
