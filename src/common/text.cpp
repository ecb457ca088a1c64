// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/text.h"

void ReplaceAll(Text &text, std::string_view from, std::string_view to)
{
    Text scratch;
    ReplaceAll(text, from, to, scratch);
}

void ReplaceAll(Text &text, std::string_view from, std::string_view to, Text &scratch)
{
    if (from.empty())
        return;
    size_t found = text.find(from);
    if (found == Text::npos)
        return;
    scratch.clear();
    scratch.reserve(text.size());
    size_t start = 0;
    for (; found != Text::npos; found = text.find(from, start)) {
        scratch.append(text, start, found - start);
        scratch.append(to);
        start = found + from.size();
    }
    scratch.append(std::string_view(text).substr(start));
    text.swap(scratch);
}

size_t CountOccurrences(std::string_view text, std::string_view pattern)
{
    if (pattern.empty())
        return 0;
    size_t count = 0;
    for (size_t at = text.find(pattern); at != std::string_view::npos;
         at = text.find(pattern, at + pattern.size()))
        ++count;
    return count;
}

int CompareText(std::string_view a, std::string_view b)
{
    // std::char_traits<char>::compare compares as unsigned char.
    return a.compare(b);
}
