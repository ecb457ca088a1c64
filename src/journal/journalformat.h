// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/byteoutput.h"
#include "common/rowstore.h"
#include "common/text.h"
#include "entries/entryform.h"

#include <limits>
#include <optional>
#include <string_view>
#include <vector>

// The journal file's format, apart from reading and writing the file itself. Its reading and
// writing work on the text as the text-mode file access delivers and takes it: LF line ends, the
// file ending at the first 0x1A.
//
// The file is "CREATOR=PENWICK 1.0" followed, for each record, by "\nDATE=" date, "\nTITLE="
// title, "\nENTRY=" entry text and "\n". Records are stored bottom row first, so that
// inserting each one at the top on loading gives the list back in its order.

// The first line of every journal this program writes.
inline constexpr std::string_view journalCreatorLine = "CREATOR=PENWICK 1.0";

// The lines of a journal text: each ends at an LF; the bytes after the last LF are no line.
class JournalLines
{
public:
    explicit JournalLines(std::string_view text) : m_text(text) {}

    // The next line, without its LF; false when no LF follows.
    bool Next(std::string_view &line)
    {
        const size_t end = m_text.find('\n', m_next);
        if (end == std::string_view::npos)
            return false;
        line = m_text.substr(m_next, end - m_next);
        m_next = end + 1;
        return true;
    }
    // The bytes after the last line read.
    std::string_view Rest() const { return m_text.substr(m_next); }

private:
    std::string_view m_text;
    size_t m_next = 0;
};

// A journal line without its trailing white space, and its key and value.
struct JournalLine
{
    enum Key { Other, Date, Title, Entry };

    std::string_view text;
    Key key = Other;
    std::string_view value;
};

// The line `line` (without its LF) loses its trailing white space and splits at its first "="
// into key and value; a line without "=" is all key. Only the exact keys "DATE", "TITLE" and
// "ENTRY" count, so only they are looked for.
inline JournalLine SplitJournalLine(std::string_view line)
{
    JournalLine split{WithoutTrailingWhiteSpace(line), JournalLine::Other, {}};
    const std::string_view text = split.text;
    const auto keyed = [&](std::string_view name, JournalLine::Key key) {
        if (!text.starts_with(name) || (text.size() > name.size() && text[name.size()] != '='))
            return;
        split.key = key;
        if (text.size() > name.size())
            split.value = text.substr(name.size() + 1);
    };
    switch (text.empty() ? '\0' : text.front()) {
    case 'D':
        keyed("DATE", JournalLine::Date);
        break;
    case 'T':
        keyed("TITLE", JournalLine::Title);
        break;
    case 'E':
        keyed("ENTRY", JournalLine::Entry);
        break;
    }
    return split;
}

// The rows a journal text gives, top row first, exactly as gathering each record in the form
// and inserting it at the top of the list would, in one pass over `text`, which it takes over:
// the rows are stored in the text's own bytes, so that loading a journal needs hardly more
// memory than its file. A DATE line commits the record gathered so
// far when it is not the first line and the date is not empty; TITLE and ENTRY overwrite their
// field and carry over to the next record; the end of the text commits the last record when
// it has a date. `start` supplies the Date, Title and Entry the gathering begins with. Lines
// are split as SplitJournalLine splits them; "<br>" in an ENTRY value becomes CR LF. Bytes
// after the last LF are not read. Gives up and returns nothing as soon as the rows' texts
// together exceed `budget` bytes.
std::optional<RowStore> ParseJournalRows(Text &&text, const EntryForm &start, size_t budget);

// The most bytes of text the rows of a journal of `fileSize` bytes may hold. A journal gives
// rows of about its own size unless its TITLE and ENTRY lines carry over to many records: then
// a file of a few megabytes would ask for more memory than any machine has.
constexpr size_t JournalRowsBudget(size_t fileSize)
{
    constexpr size_t allowance = size_t(64) << 20;
    constexpr size_t maximum = std::numeric_limits<size_t>::max();
    return fileSize > (maximum - allowance) / 4 ? maximum : 4 * fileSize + allowance;
}

// The rows of the journal file whose bytes as stored are `stored`: ParseJournalRows of the text
// a text-mode read gives, within JournalRowsBudget of that text's size.
std::optional<RowStore> ParseStoredJournal(Text &&stored, const EntryForm &start);

// The number of rows ParseJournalRows gives for the journal file `stored`, its bytes as stored
// (CR LF line ends, 0x1A ending the file), starting from an empty form; without storing any.
size_t CountJournalRecords(std::string_view stored);

// The journal file for `rows` (top row first) as it is stored, each line ending in CR LF,
// appended to `out` in one pass; nothing for no rows. Values are kept from breaking the line
// structure: in the entry text every CR LF and every other LF becomes "<br>", in date and
// title each becomes one space, and 0x1A is left out of every value.
void WriteJournalFile(const RowStore &rows, ByteOutput &out);
