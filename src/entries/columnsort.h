// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "entries/entrylist.h"

// Sorts the rows by `column` (0 Date, 1 Title, 2 Entry) in ascending byte order, rows with
// equal keys keeping their order; rows that already are ascending (fewer than two included)
// are reversed instead, so repeated clicks on one heading alternate. A sort that moves rows is
// one step of the entries' history. The selection mark and
// the selection move with their entries; the columns keep their widths. EntryCount := number
// of rows; begins with ReadForm and ends with WriteForm.
void SortByColumn(EntryList &entries, int column);
