#pragma once

#include "common/byteoutput.h"
#include "common/rowstore.h"
#include "entries/entryform.h"

#include <limits>
#include <optional>
#include <string_view>
#include <vector>

// The journal file's format, apart from reading and writing the file itself. Both functions
// work on the text as the text-mode file access delivers and takes it: LF line ends, the file
// ending at the first 0x1A.
//
// The file is "CREATOR=PENWICK 1.0" followed, for each record, by "\nDATE=" date, "\nTITLE="
// title, "\nENTRY=" entry text and "\n". Records are stored bottom row first, so that
// inserting each one at the top on loading gives the list back in its order.

// The rows a journal text gives, top row first, exactly as gathering each record in the form
// and inserting it at the top of the list would, in one pass over `text`, which it takes over:
// the rows are stored in the text's own bytes, so that loading a journal needs hardly more
// memory than its file. A DATE line commits the record gathered so
// far when it is not the first line and the date is not empty; TITLE and ENTRY overwrite their
// field and carry over to the next record; the end of the text commits the last record when
// it has a date. `start` supplies the Date, Title and Entry the gathering begins with. Each
// line loses its trailing white space (0x09-0x0D, 0x20), splits at its first "=" into key and
// value, and counts only with the exact key "DATE", "TITLE" or "ENTRY"; "<br>" in an ENTRY
// value becomes CR LF. Bytes after the last LF are not read. Gives up and returns nothing as
// soon as the rows' texts together exceed `budget` bytes.
std::optional<RowStore> ParseJournalRows(Text &&text, const EntryForm &start, size_t budget);

// The number of rows ParseJournalRows gives for the journal file `stored`, its bytes as stored
// (CR LF line ends, 0x1A ending the file), starting from an empty form; without storing any.
size_t CountJournalRecords(std::string_view stored);

// The most bytes of text the rows of a journal of `fileSize` bytes may hold. A journal gives
// rows of about its own size unless its TITLE and ENTRY lines carry over to many records: then
// a file of a few megabytes would ask for more memory than any machine has.
constexpr size_t JournalRowsBudget(size_t fileSize)
{
    constexpr size_t allowance = size_t(64) << 20;
    constexpr size_t maximum = std::numeric_limits<size_t>::max();
    return fileSize > (maximum - allowance) / 4 ? maximum : 4 * fileSize + allowance;
}

// The journal file for `rows` (top row first) as it is stored, each line ending in CR LF,
// appended to `out` in one pass; nothing for no rows. Values are kept from breaking the line
// structure: in the entry text every CR LF and every other LF becomes "<br>", in date and
// title each becomes one space, and 0x1A is left out of every value.
void WriteJournalFile(const RowStore &rows, ByteOutput &out);
