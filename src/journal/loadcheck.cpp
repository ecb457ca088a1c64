// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/loadcheck.h"

#include "common/text.h"
#include "common/textfile.h"
#include "journal/journalformat.h"

#include <algorithm>

namespace {

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

    void Line(std::string_view line)
    {
        const JournalLine split = SplitJournalLine(line);
        const size_t lineBytes = line.size() + 1; // with its LF
        if (split.key == JournalLine::Date) {
            // The form starts empty, so the first line never has a date to commit.
            if (m_hasDate)
                Commit();
            m_hasDate = !split.value.empty();
        } else if (split.key == JournalLine::Title) {
            Gather(m_title, split.value, lineBytes);
        } else if (split.key == JournalLine::Entry) {
            Gather(m_entry, split.value, lineBytes);
        } else if (!split.text.empty() && split.text != journalCreatorLine) {
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

    // Lines as the reader splits them. The CR of a CR LF pair is trailing white space of its
    // line, so the bytes as stored give the same lines as the text-mode read.
    JournalLines lines(read);
    for (std::string_view line; lines.Next(line);)
        gathering.Line(line);
    gathering.End();

    if (!HoldsNothing(lines.Rest()))
        gathering.Lose(TextAfterLastLineEnd, lines.Rest().size());
    return gathering.unloaded;
}
