// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string_view>

// What of a journal file a load leaves out, so that saving the loaded rows would not give the
// file's content back. The changes every save makes to any journal are no loss: the line-end
// style, trailing white space, blank lines, the creator line, and TITLE or ENTRY lines added
// to a record for the value it carried over from the record before.
//
// What is left out, by the reading rules:
enum UnloadedKind : unsigned {
    // Lines whose key is none of "DATE", "TITLE", "ENTRY" (a key in lower case, a space before
    // it, no key at all) and that are not the creator line.
    UnknownLines = 1u << 0,
    // TITLE and ENTRY values that no row keeps: replaced by another value before their record
    // was committed, or gathered for a record that never gets a date.
    ValuesWithoutRow = 1u << 1,
    // Text after the last line end (LF): all of a file whose lines end in CR alone.
    TextAfterLastLineEnd = 1u << 2,
    // Text after a byte 0x1A, which ends the file for the text-mode read.
    TextAfterEndOfFileMark = 1u << 3,
};

struct UnloadedPart
{
    std::size_t bytes = 0; // bytes of the file that are left out, line ends included
    unsigned kinds = 0;    // UnloadedKind bits

    bool Any() const { return kinds != 0; }
};

// Finds what a load of a journal whose file holds `fileBytes` (as stored: CR LF line ends, any
// 0x1A included) leaves out, starting from an empty form. One pass over the bytes; allocates
// nothing. A journal this program wrote never has anything left out.
UnloadedPart FindUnloadedPart(std::string_view fileBytes);
