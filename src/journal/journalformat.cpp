#include "journal/journalformat.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::string_view creatorLine = "CREATOR=PENWICK 1.0";
constexpr std::string_view lineBreakTag = "<br>";
constexpr char endOfFileByte = 0x1A;

// A view rather than TrimTrailingWhiteSpace, so that a long line is not copied.
std::string_view WithoutTrailingWhiteSpace(std::string_view line)
{
    size_t end = line.size();
    while (end > 0) {
        const unsigned char byte = static_cast<unsigned char>(line[end - 1]);
        if (byte != 0x20 && (byte < 0x09 || byte > 0x0D))
            break;
        --end;
    }
    return line.substr(0, end);
}

// The form's three texts while a record is gathered, and the rows committed so far.
struct Gathered
{
    Text date;
    Text title;
    Text entry;
    std::vector<Row> committed;
    size_t committedBytes = 0;

    // The last record moves its texts into the row; any other one leaves them to carry over.
    void Commit(bool last = false)
    {
        committedBytes += date.size() + title.size() + entry.size();
        if (last)
            committed.push_back(Row{std::move(date), std::move(title), std::move(entry)});
        else
            committed.push_back(Row{date, title, entry});
    }
};

void ProcessLine(std::string_view line, size_t lineIndex, Gathered &form)
{
    line = WithoutTrailingWhiteSpace(line);
    const size_t equals = line.find('=');
    const std::string_view key = line.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : line.substr(equals + 1);
    if (key == "DATE") {
        if (lineIndex > 0 && !form.date.empty())
            form.Commit();
        form.date = value;
    } else if (key == "TITLE") {
        form.title = value;
    } else if (key == "ENTRY") {
        form.entry = value;
        ReplaceAll(form.entry, lineBreakTag, "\r\n");
    }
}

// Appends `value` with every CR LF and every other LF replaced by `lineBreak` and 0x1A left
// out, so that the value stays on its line and does not end the file.
void AppendProtected(Text &out, std::string_view value, std::string_view lineBreak)
{
    const bool hasEndOfFile = value.find(endOfFileByte) != std::string_view::npos;
    const auto nextSpecial = [&](size_t from) {
        return hasEndOfFile ? value.find_first_of("\n\x1A", from) : value.find('\n', from);
    };
    size_t start = 0;
    for (size_t special; (special = nextSpecial(start)) != std::string_view::npos;
         start = special + 1) {
        if (value[special] == endOfFileByte) {
            out.append(value.substr(start, special - start));
            continue;
        }
        // The CR of a CR LF pair goes with the LF.
        const size_t end = special > start && value[special - 1] == '\r' ? special - 1 : special;
        out.append(value.substr(start, end - start));
        out.append(lineBreak);
    }
    out.append(value.substr(start));
}

} // namespace

std::vector<Row> ParseJournal(std::string_view text, const EntryForm &start)
{
    return *ParseJournalWithin(text, start, std::numeric_limits<size_t>::max());
}

std::optional<std::vector<Row>> ParseJournalWithin(std::string_view text, const EntryForm &start,
                                                   size_t budget)
{
    Gathered form{start.Date, start.Title, start.Entry, {}, 0};
    size_t lineIndex = 0;
    for (size_t lineStart = 0;;) {
        const size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            break;
        ProcessLine(text.substr(lineStart, lineEnd - lineStart), lineIndex++, form);
        if (form.committedBytes > budget)
            return std::nullopt;
        lineStart = lineEnd + 1;
    }
    if (!form.date.empty())
        form.Commit(true);
    if (form.committedBytes > budget)
        return std::nullopt;
    // Each record goes in at the top, so the last one committed is the top row.
    std::reverse(form.committed.begin(), form.committed.end());
    return std::move(form.committed);
}

namespace {
// The journal text for `rowCount` rows, the top row being rowAt(0).
template <typename RowAt> Text FormatRows(size_t rowCount, const RowAt &rowAt)
{
    if (rowCount == 0)
        return {};
    size_t size = creatorLine.size();
    for (size_t row = 0; row < rowCount; ++row) {
        const Row &texts = rowAt(row);
        size += texts[0].size() + texts[1].size() + texts[2].size() + 22;
    }
    Text text;
    text.reserve(size);
    text += creatorLine;
    for (size_t row = rowCount; row-- > 0;) {
        const Row &texts = rowAt(row);
        text += "\nDATE=";
        AppendProtected(text, texts[0], " ");
        text += "\nTITLE=";
        AppendProtected(text, texts[1], " ");
        text += "\nENTRY=";
        AppendProtected(text, texts[2], lineBreakTag);
        text += '\n';
    }
    return text;
}
} // namespace

Text FormatJournal(const std::vector<Row> &displayRows)
{
    return FormatRows(displayRows.size(),
                      [&](size_t row) -> const Row & { return displayRows[row]; });
}

Text FormatJournal(const ListView &list)
{
    return FormatRows(size_t(std::max(list.ItemCount(), 0)),
                      [&](size_t row) -> const Row & { return list.RowAt(int(row)); });
}
