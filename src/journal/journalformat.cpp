#include "journal/journalformat.h"

#include <cstring>
#include <limits>

namespace {

constexpr std::string_view creatorLine = "CREATOR=PENWICK 1.0";
constexpr std::string_view lineBreakTag = "<br>";
constexpr char endOfFileByte = 0x1A;

enum class Key { Other, Date, Title, Entry };

// The key of a line is its bytes before the first "=", the value the bytes after it; a line
// without "=" is all key. Only the three keys count, so only they are looked for.
Key KeyOf(std::string_view line, std::string_view &value)
{
    const auto keyed = [&](std::string_view key) {
        if (!line.starts_with(key))
            return false;
        if (line.size() == key.size()) {
            value = {};
            return true;
        }
        if (line[key.size()] != '=')
            return false;
        value = line.substr(key.size() + 1);
        return true;
    };
    if (line.empty())
        return Key::Other;
    switch (line.front()) {
    case 'D':
        return keyed("DATE") ? Key::Date : Key::Other;
    case 'T':
        return keyed("TITLE") ? Key::Title : Key::Other;
    case 'E':
        return keyed("ENTRY") ? Key::Entry : Key::Other;
    }
    return Key::Other;
}

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
    const bool hasEndOfFile = value.find(endOfFileByte) != std::string_view::npos;
    const auto nextSpecial = [&](size_t from) {
        return hasEndOfFile ? value.find_first_of("\n\x1A", from) : value.find('\n', from);
    };
    size_t start = 0;
    for (size_t special = 0; (special = nextSpecial(start)) != std::string_view::npos;
         start = special + 1) {
        if (value[special] == endOfFileByte) {
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
    out.Append(creatorLine);
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

size_t CountJournalRecords(std::string_view stored)
{
    // A CR before a line's LF is trailing white space to the rules: lines are read as stored.
    stored = stored.substr(0, stored.find(endOfFileByte));
    size_t records = 0;
    bool dated = false;
    for (size_t lineStart = 0, lineEnd = 0;
         (lineEnd = stored.find('\n', lineStart)) != std::string_view::npos;
         lineStart = lineEnd + 1) {
        std::string_view value;
        if (KeyOf(WithoutTrailingWhiteSpace(stored.substr(lineStart, lineEnd - lineStart)),
                  value) != Key::Date)
            continue;
        // The first line's DATE commits nothing, but then no date has been gathered yet.
        records += dated ? 1 : 0;
        dated = !value.empty();
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
    for (size_t lineStart = 0;;) {
        const void *lineFeed = std::memchr(data + lineStart, '\n', size - lineStart);
        if (!lineFeed)
            break;
        const auto lineEnd = size_t(static_cast<const char *>(lineFeed) - data);
        std::string_view value;
        const std::string_view line(data + lineStart, lineEnd - lineStart);
        switch (KeyOf(WithoutTrailingWhiteSpace(line), value)) {
        case Key::Date:
            // Committed only now, so the bytes from this line on are still needed.
            if (!firstLine && !form[0].empty() && !commit(lineStart))
                return std::nullopt;
            form.texts[0] = value;
            break;
        case Key::Title:
            form.texts[1] = value;
            break;
        case Key::Entry:
            form.texts[2] = value.empty()
                                ? std::string_view()
                                : LineBreaksInPlace(data + (value.data() - data), value.size());
            break;
        case Key::Other:
            break;
        }
        firstLine = false;
        lineStart = lineEnd + 1;
    }
    if (!form[0].empty() && !commit(size))
        return std::nullopt;
    return filler.Finish(true);
}
