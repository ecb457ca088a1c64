#include "journal/loadcheck.h"

#include <algorithm>

namespace {

constexpr std::string_view creatorLine = "CREATOR=PENWICK 1.0";
constexpr char endOfFileMark = 0x1A;

bool IsWhiteSpace(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte == 0x20 || (byte >= 0x09 && byte <= 0x0D);
}

std::string_view WithoutTrailingWhiteSpace(std::string_view line)
{
    size_t end = line.size();
    while (end > 0 && IsWhiteSpace(line[end - 1]))
        --end;
    return line.substr(0, end);
}

// White space and end-of-file marks hold nothing a reader of the file would miss; an old
// editor ends its files with a 0x1A.
bool HoldsNothing(std::string_view bytes)
{
    return std::ranges::all_of(bytes, [](char c) { return IsWhiteSpace(c) || c == endOfFileMark; });
}

// A TITLE or ENTRY value as the form holds it while a record is gathered.
struct FormValue
{
    std::string_view value;
    size_t lineBytes = 0;
    bool inRow = true; // a committed row keeps it (or there is nothing to keep)
};

class Gathering
{
public:
    UnloadedPart unloaded;

    void Lose(UnloadedKind kind, size_t bytes)
    {
        unloaded.kinds |= kind;
        unloaded.bytes += bytes;
    }

    void Line(std::string_view line, size_t lineBytes)
    {
        line = WithoutTrailingWhiteSpace(line);
        if (line.empty())
            return;
        const size_t equals = line.find('=');
        const std::string_view key = line.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : line.substr(equals + 1);
        if (key == "DATE") {
            // The form starts empty, so the first line never has a date to commit.
            if (m_hasDate)
                Commit();
            m_hasDate = !value.empty();
        } else if (key == "TITLE") {
            Gather(m_title, value, lineBytes);
        } else if (key == "ENTRY") {
            Gather(m_entry, value, lineBytes);
        } else if (line != creatorLine) {
            Lose(UnknownLines, lineBytes);
        }
    }

    // The end of the text commits the last record when it has a date; otherwise what was
    // gathered for it is lost.
    void End()
    {
        if (m_hasDate)
            Commit();
        for (const FormValue *gathered : {&m_title, &m_entry}) {
            if (!gathered->inRow && !gathered->value.empty())
                Lose(ValuesWithoutRow, gathered->lineBytes);
        }
    }

private:
    void Commit() { m_title.inRow = m_entry.inRow = true; }

    // A value replaced before any row kept it is lost, unless the new one is the same.
    void Gather(FormValue &field, std::string_view value, size_t lineBytes)
    {
        if (!field.inRow && !field.value.empty() && field.value != value)
            Lose(ValuesWithoutRow, field.lineBytes);
        field = {value, lineBytes, false};
    }

    bool m_hasDate = false;
    FormValue m_title;
    FormValue m_entry;
};

} // namespace

UnloadedPart FindUnloadedPart(std::string_view fileBytes)
{
    Gathering gathering;
    const size_t mark = fileBytes.find(endOfFileMark);
    const std::string_view read = fileBytes.substr(0, mark);
    if (mark != std::string_view::npos && !HoldsNothing(fileBytes.substr(mark)))
        gathering.Lose(TextAfterEndOfFileMark, fileBytes.size() - mark);

    // Lines as the reader splits them: at each LF. The CR of a CR LF pair is trailing white
    // space of its line, so the bytes as stored give the same lines as the text-mode read.
    size_t lineStart = 0;
    for (size_t lineEnd = 0; (lineEnd = read.find('\n', lineStart)) != std::string_view::npos;
         lineStart = lineEnd + 1)
        gathering.Line(read.substr(lineStart, lineEnd - lineStart), lineEnd + 1 - lineStart);
    gathering.End();

    const std::string_view unread = read.substr(lineStart);
    if (!HoldsNothing(unread))
        gathering.Lose(TextAfterLastLineEnd, unread.size());
    return gathering.unloaded;
}
