// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journalformat.h"

#include "common/textfile.h"

#include <cstring>
#include <limits>

namespace {

constexpr std::string_view lineBreakTag = "<br>";

// Replaces every "<br>" in the `size` bytes at `value` by CR LF where they stand, left to right;
// the value only shrinks, so each byte is read before anything is written over it.
std::string_view LineBreaksInPlace(char *value, size_t size)
{
    const std::string_view original(value, size);
    size_t found = original.find(lineBreakTag);
    if (found == std::string_view::npos)
        return original;
    size_t to = found;
    size_t from = found;
    for (; found != std::string_view::npos; found = original.find(lineBreakTag, from)) {
        std::memmove(value + to, value + from, found - from);
        to += found - from;
        value[to++] = '\r';
        value[to++] = '\n';
        from = found + lineBreakTag.size();
    }
    std::memmove(value + to, value + from, size - from);
    return {value, to + size - from};
}

// Appends `value` with every CR LF and every other LF replaced by `lineBreak` and 0x1A left
// out, so that the value stays on its line and does not end the file.
void AppendProtected(ByteOutput &out, std::string_view value, std::string_view lineBreak)
{
    const bool hasEndOfFile = value.find(endOfFileMark) != std::string_view::npos;
    const auto nextSpecial = [&](size_t from) {
        return hasEndOfFile ? value.find_first_of("\n\x1A", from) : value.find('\n', from);
    };
    size_t start = 0;
    for (size_t special = 0; (special = nextSpecial(start)) != std::string_view::npos;
         start = special + 1) {
        if (value[special] == endOfFileMark) {
            out.Append(value.substr(start, special - start));
            continue;
        }
        // The CR of a CR LF pair goes with the LF.
        const size_t end = special > start && value[special - 1] == '\r' ? special - 1 : special;
        out.Append(value.substr(start, end - start));
        out.Append(lineBreak);
    }
    out.Append(value.substr(start));
}

} // namespace

void WriteJournalFile(const RowStore &rows, ByteOutput &out)
{
    constexpr std::string_view lineEnd = "\r\n";
    if (rows.Empty())
        return;
    constexpr std::string_view dateKey = "\r\nDATE=";
    constexpr std::string_view titleKey = "\r\nTITLE=";
    constexpr std::string_view entryKey = "\r\nENTRY=";
    out.Append(journalCreatorLine);
    for (size_t row = rows.Count(); row-- > 0;) {
        const RowView texts = rows.At(row);
        out.Append(dateKey);
        AppendProtected(out, texts[0], " ");
        out.Append(titleKey);
        AppendProtected(out, texts[1], " ");
        out.Append(entryKey);
        AppendProtected(out, texts[2], lineBreakTag);
        out.Append(lineEnd);
    }
}

std::optional<RowStore> ParseStoredJournal(Text &&stored, const EntryForm &start)
{
    ToTextModeText(stored);
    const size_t budget = JournalRowsBudget(stored.size());
    return ParseJournalRows(std::move(stored), start, budget);
}

size_t CountJournalRecords(std::string_view stored)
{
    // A CR before a line's LF is trailing white space to the rules: lines are read as stored.
    JournalLines lines(stored.substr(0, stored.find(endOfFileMark)));
    size_t records = 0;
    bool dated = false;
    for (std::string_view line; lines.Next(line);) {
        const JournalLine split = SplitJournalLine(line);
        if (split.key != JournalLine::Date)
            continue;
        // The first line's DATE commits nothing, but then no date has been gathered yet.
        records += dated ? 1 : 0;
        dated = !split.value.empty();
    }
    return records + (dated ? 1 : 0);
}

std::optional<RowStore> ParseJournalRows(Text &&text, const EntryForm &start, size_t budget)
{
    // The record being gathered is three views, as the form would hold its texts: into the text,
    // into `start`, or into the rows stored so far when they carry over.
    RowStore::Filler filler(std::move(text));
    char *const data = filler.Data();
    const size_t size = filler.Size();
    RowView form{{start.Date, start.Title, start.Entry}};
    size_t committedBytes = 0;
    // Inserting each record at the top: the rows are stored last record first.
    const auto commit = [&](size_t keepFrom) {
        committedBytes += form[0].size() + form[1].size() + form[2].size();
        form = filler.Append(form, keepFrom);
        return committedBytes <= budget;
    };
    bool firstLine = true;
    JournalLines lines({data, size});
    for (std::string_view line; lines.Next(line); firstLine = false) {
        const auto lineStart = size_t(line.data() - data);
        const JournalLine split = SplitJournalLine(line);
        switch (split.key) {
        case JournalLine::Date:
            // Committed only now, so the bytes from this line on are still needed.
            if (!firstLine && !form[0].empty() && !commit(lineStart))
                return std::nullopt;
            form.texts[0] = split.value;
            break;
        case JournalLine::Title:
            form.texts[1] = split.value;
            break;
        case JournalLine::Entry:
            form.texts[2] =
                split.value.empty()
                    ? std::string_view()
                    : LineBreaksInPlace(data + (split.value.data() - data), split.value.size());
            break;
        case JournalLine::Other:
            break;
        }
    }
    if (!form[0].empty() && !commit(size))
        return std::nullopt;
    return filler.Finish(true);
}
