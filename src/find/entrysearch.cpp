// SPDX-License-Identifier: GPL-3.0-or-later
#include "find/entrysearch.h"

namespace {
bool RowMatches(const ListView &list, const TextMatcher &matcher, int row)
{
    const RowView texts = list.RowAt(row);
    return matcher.Matches(texts[0]) || matcher.Matches(texts[1]) || matcher.Matches(texts[2]);
}

// The first matching row of first, first + step, ... before `end`; -1 when none matches.
int FirstMatch(const ListView &list, const TextMatcher &matcher, int first, int end, int step)
{
    for (int row = first; row != end; row += step) {
        if (RowMatches(list, matcher, row))
            return row;
    }
    return -1;
}
} // namespace

FoundRow FindRow(const ListView &list, const TextMatcher &matcher, int from,
                 FindDirection direction)
{
    const int count = list.RowCount();
    const bool next = direction == FindDirection::Next;
    const int step = next ? 1 : -1;
    const int top = next ? 0 : count - 1; // where a search from no row starts
    const int start = from >= 0 && from < count ? from + step : top;
    if (const int row = FirstMatch(list, matcher, start, next ? count : -1, step); row >= 0)
        return {row, false};
    if (const int row = FirstMatch(list, matcher, top, start, step); row >= 0)
        return {row, true};
    return {};
}

FindOutcome FindEntry(EntryList &entries, std::string_view needle, bool matchCase,
                      FindDirection direction)
{
    ListView &list = entries.List();
    const FoundRow found =
        FindRow(list, TextMatcher(needle, matchCase), list.SelectionMark(), direction);
    if (found.row < 0)
        return FindOutcome::NotFound;
    list.ChooseRow(found.row);
    entries.OnListClick();
    return found.wrapped ? FindOutcome::FoundAfterWrap : FindOutcome::Found;
}

Text FindOutcomeText(FindOutcome outcome, FindDirection direction)
{
    switch (outcome) {
    case FindOutcome::Found:
        return {};
    case FindOutcome::FoundAfterWrap:
        return direction == FindDirection::Next ? "Searched from the top again"
                                                : "Searched from the bottom again";
    case FindOutcome::NotFound:
        return "Not found";
    }
    return {};
}
