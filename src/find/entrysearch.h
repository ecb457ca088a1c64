// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"
#include "entries/entrylist.h"
#include "find/textmatcher.h"
#include "ui/listview.h"

enum class FindDirection { Next, Previous };

struct FoundRow
{
    int row = -1;         // -1 when no row matches
    bool wrapped = false; // the search went past the last row to the first, or the other way
};

// The first row, going in `direction` from the row after (or before) `from`, whose Date, Title
// or Entry matches; past the end of the list the search goes on from the other end, and `from`
// itself comes last. With no row at `from` (-1) it starts at the top, or going up at the bottom.
FoundRow FindRow(const ListView &list, const TextMatcher &matcher, int from,
                 FindDirection direction);

enum class FindOutcome { Found, FoundAfterWrap, NotFound };

// Finds the next (or previous) entry holding `needle` from the chosen row, and chooses it: the
// list makes it the chosen row and the selection and shows it, and it is loaded into the form
// as a click on it does. When none matches, the list and the form stay as they were.
FindOutcome FindEntry(EntryList &entries, std::string_view needle, bool matchCase,
                      FindDirection direction);

// What the Find window says about an outcome: empty when the search simply found the next one.
Text FindOutcomeText(FindOutcome outcome, FindDirection direction);
