// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/reportline.h"

#include <algorithm>

namespace {
constexpr std::array<std::string_view, 4> placeholders = {"#DATE#", "#TITLE#", "#ENTRY#",
                                                          "#IMAGE#"};

// Fills in report lines one after another without allocating once its buffers have grown:
// with 100,000 entries the allocations and copies of a new text per step cost more than
// writing the report.
class StepByStep
{
public:
    // The filled-in line, valid until the next call; null when it would grow beyond
    // MaxReportLineSize.
    const Text *Fill(std::string_view lineTemplate, std::string_view date, std::string_view title,
                     std::string_view entry, std::string_view imagePath)
    {
        m_line.assign(lineTemplate);
        if (!Replace(m_line, "#DATE#", date) || !Replace(m_line, "#TITLE#", title))
            return nullptr;
        if (m_line.find("#ENTRY#") != Text::npos) {
            m_value.assign(entry);
            ReplaceAll(m_value, "\r\n", "<br>", m_scratch); // never longer than the entry
            if (!Replace(m_line, "#ENTRY#", m_value))
                return nullptr;
        }
        if (m_line.find("#IMAGE#") != Text::npos) {
            m_value.assign(imagePath);
            if (!m_value.empty())
                m_value += '>';
            if (!Replace(m_line, "#IMAGE#", m_value))
                return nullptr;
        }
        return &m_line;
    }

private:
    // Replaces all, unless the result would exceed MaxReportLineSize. Only when the worst case
    // (every byte starting an occurrence) could exceed it are the occurrences counted.
    bool Replace(Text &text, std::string_view from, std::string_view to)
    {
        if (to.size() > from.size()) {
            const size_t room =
                MaxReportLineSize > text.size() ? MaxReportLineSize - text.size() : 0;
            const size_t growth = to.size() - from.size();
            if (text.size() / from.size() > room / growth &&
                CountOccurrences(text, from) > room / growth)
                return false;
        }
        ReplaceAll(text, from, to, m_scratch);
        return true;
    }

    Text m_line;
    Text m_value;
    Text m_scratch;
};

// Appends `value` to `out` as it is inserted into a line and stored: each LF as CR LF, but in
// an entry text each CR LF as "<br>".
void AppendStoredValue(ByteOutput &out, std::string_view value, bool entry)
{
    if (!entry) {
        AppendInTextMode(out, value);
        return;
    }
    for (size_t lineFeed = 0; (lineFeed = value.find('\n')) != std::string_view::npos;
         value.remove_prefix(lineFeed + 1)) {
        const bool afterCr = lineFeed > 0 && value[lineFeed - 1] == '\r';
        out.Append(value.substr(0, afterCr ? lineFeed - 1 : lineFeed));
        out.Append(afterCr ? "<br>" : "\r\n");
    }
    out.Append(value);
}

struct TextOut
{
    Text &text;
    void Append(std::string_view bytes) { text.append(bytes); }
};

Text Stored(std::string_view text)
{
    Text stored;
    TextOut out{stored};
    AppendInTextMode(out, text);
    return stored;
}

bool AllCapitals(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}
} // namespace

class ReportLineTemplate::StepFiller : public StepByStep
{
};

ReportLineTemplate::ReportLineTemplate(std::string_view lineTemplate)
    : m_template(lineTemplate), m_steps(std::make_unique<StepFiller>())
{
    // Values without '#' then cannot form a placeholder with the template's text around them:
    // a placeholder needs a '#' at either end, and the only ones are the placeholders' own.
    const std::string_view text = m_template;
    size_t literalStart = 0;
    for (size_t at = text.find('#'); at != std::string_view::npos;
         at = text.find('#', literalStart)) {
        const std::string_view literal = text.substr(literalStart, at - literalStart);
        size_t slot = 0;
        while (slot < placeholders.size() && !text.substr(at).starts_with(placeholders[slot]))
            ++slot;
        if (slot == placeholders.size() || (!m_slots.empty() && AllCapitals(literal)))
            return;
        m_literals.push_back(Stored(literal));
        m_slots.push_back(slot);
        ++m_counts[slot];
        literalStart = at + placeholders[slot].size();
    }
    m_literals.push_back(Stored(text.substr(literalStart)));
    m_onePass = true;
}

ReportLineTemplate::~ReportLineTemplate() = default;

bool ReportLineTemplate::AppendStored(ByteOutput &out, std::string_view date,
                                      std::string_view title, std::string_view entry,
                                      std::string_view imagePath)
{
    const Values values = {date, title, entry, imagePath};
    if (FitsOnePass(values)) {
        AppendOnePass(out, values);
        return true;
    }
    const Text *line = m_steps->Fill(m_template, date, title, entry, imagePath);
    if (line)
        AppendInTextMode(out, *line);
    return line != nullptr;
}

// Whether the line can be filled in one pass: the template allows it, no value holds a '#',
// and no step would make the line larger than MaxReportLineSize (the steps then tell whether
// it is refused).
bool ReportLineTemplate::FitsOnePass(const Values &values) const
{
    const auto hasHash = [](std::string_view text) {
        return text.find('#') != std::string_view::npos;
    };
    if (!m_onePass || std::any_of(values.begin(), values.end(), hasHash))
        return false;
    // The sizes of the values as inserted: the entry with "<br>" for CR LF (at most twice its
    // size, counted exactly only when that matters), the image path followed by ">".
    const std::string_view entry = values[2];
    std::array<size_t, 4> sizes = {values[0].size(), values[1].size(), 2 * entry.size(),
                                   values[3].empty() ? 0 : values[3].size() + 1};
    const auto lineSize = [&] {
        size_t size = m_template.size();
        for (size_t slot = 0; slot < placeholders.size(); ++slot) {
            const size_t placeholder = placeholders[slot].size();
            if (m_counts[slot] == 0 || sizes[slot] <= placeholder) {
                size -= m_counts[slot] * (placeholder - std::min(sizes[slot], placeholder));
                continue;
            }
            const size_t growth = sizes[slot] - placeholder;
            if (growth > (MaxReportLineSize - std::min(size, MaxReportLineSize)) / m_counts[slot])
                return MaxReportLineSize + 1;
            size += m_counts[slot] * growth;
        }
        return size;
    };
    if (lineSize() <= MaxReportLineSize)
        return true;
    sizes[2] = entry.size() + 2 * CountOccurrences(entry, "\r\n");
    return lineSize() <= MaxReportLineSize;
}

void ReportLineTemplate::AppendOnePass(ByteOutput &out, const Values &values) const
{
    for (size_t piece = 0; piece < m_slots.size(); ++piece) {
        out.Append(m_literals[piece]);
        const size_t slot = m_slots[piece];
        if (slot != 3) {
            AppendStoredValue(out, values[slot], slot == 2);
        } else if (!values[3].empty()) {
            AppendStoredValue(out, values[3], false);
            out.Append(">");
        }
    }
    out.Append(m_literals.back());
}
