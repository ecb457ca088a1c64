#include "report/report.h"

#include "common/textfile.h"
#include "journal/safesave.h"
#include "session/stopsignals.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr std::string_view reportName = "Report.htm";
constexpr std::string_view headerName = "Header.htm";
constexpr std::string_view lineTemplateName = "ReportLine.htm";
constexpr std::string_view footerName = "Footer.htm";
constexpr const char *loadFailure = "Error loading file";
constexpr const char *loadFailureCaption = "Error";
constexpr const char *writeFailure = "Could not write to log file";
constexpr const char *writeFailureCaption = "Error Log";

// No template needs more: a larger file is refused unread, so that a huge or sparse file named
// like a template fills neither the memory nor, copied into the report, the disk.
constexpr off_t maxTemplateSize = off_t(8) << 20;

// The whole text of `name` as a text-mode read delivers it (created empty when missing);
// nothing when it can be neither opened nor created, or reading it fails part way.
std::optional<Text> LoadFile(std::string_view name)
{
    Text text;
    if (!ReadWholeFile(name, text))
        return std::nullopt;
    ToTextModeText(text);
    return text;
}

std::string_view EffectiveTemplate(std::string_view lineTemplate)
{
    return lineTemplate.empty() ? DefaultLineTemplate : lineTemplate;
}

// Whether the report may be written through `path`: it is no symbolic link, or one that belongs
// to the user, as does the file it leads to (when there is one yet). Otherwise a link planted
// by another user in a folder others may write to, such as /tmp, would have the report
// overwrite whatever file of the user's it names: the rule the kernel applies in such folders.
bool MayWriteThrough(const std::string &path)
{
    struct stat link = {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return true;
    const uid_t user = ::geteuid();
    struct stat target = {};
    if (link.st_uid != user)
        return false;
    return ::stat(path.c_str(), &target) == 0 ? target.st_uid == user : errno == ENOENT;
}

// Fills in report lines one after another without allocating once its buffers have grown:
// with 100,000 entries the allocations and copies of a new text per step cost more than
// writing the report.
class ReportLineFiller
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
} // namespace

std::optional<Text> FillReportLine(std::string_view lineTemplate, const Text &date,
                                   const Text &title, const Text &entry, const Text &imagePath)
{
    ReportLineFiller filler;
    const Text *line = filler.Fill(lineTemplate, date, title, entry, imagePath);
    return line ? std::optional<Text>(*line) : std::nullopt;
}

class ReportLineTemplate::StepFiller : public ReportLineFiller
{
};

namespace {
constexpr std::array<std::string_view, 4> placeholders = {"#DATE#", "#TITLE#", "#ENTRY#",
                                                          "#IMAGE#"};

// Appends `value` to `out` as it is inserted into a line: in an entry text each CR LF as
// "<br>", and when `stored`, each other LF as CR LF.
template <typename Out> void AppendValue(Out &out, std::string_view value, bool entry, bool stored)
{
    if (!entry) {
        if (stored)
            AppendInTextMode(out, value);
        else
            out.Append(value);
        return;
    }
    for (size_t lineFeed = 0; (lineFeed = value.find('\n')) != std::string_view::npos;
         value.remove_prefix(lineFeed + 1)) {
        if (lineFeed > 0 && value[lineFeed - 1] == '\r') {
            out.Append(value.substr(0, lineFeed - 1));
            out.Append("<br>");
        } else {
            out.Append(value.substr(0, lineFeed));
            out.Append(stored ? "\r\n" : "\n");
        }
    }
    out.Append(value);
}

struct TextOut
{
    Text &text;
    void Append(std::string_view bytes) { text.append(bytes); }
};

bool AllCapitals(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}
} // namespace

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
        m_literals.push_back(literal);
        m_slots.push_back(slot);
        m_storedLiterals.emplace_back();
        TextOut stored{m_storedLiterals.back()};
        AppendInTextMode(stored, literal);
        ++m_counts[slot];
        literalStart = at + placeholders[slot].size();
    }
    m_literals.push_back(text.substr(literalStart));
    m_storedLiterals.emplace_back();
    TextOut stored{m_storedLiterals.back()};
    AppendInTextMode(stored, m_literals.back());
    m_onePass = true;
}

ReportLineTemplate::~ReportLineTemplate() = default;

const Text *ReportLineTemplate::Fill(std::string_view date, std::string_view title,
                                     std::string_view entry, std::string_view imagePath)
{
    return Fill({date, title, entry, imagePath}, false);
}

const Text *ReportLineTemplate::FillStored(std::string_view date, std::string_view title,
                                           std::string_view entry, std::string_view imagePath)
{
    return Fill({date, title, entry, imagePath}, true);
}

const Text *ReportLineTemplate::Fill(const Values &values, bool stored)
{
    m_line.clear();
    TextOut out{m_line};
    if (FitsOnePass(values)) {
        AppendOnePass(out, values, stored);
        return &m_line;
    }
    const Text *line = m_steps->Fill(m_template, values[0], values[1], values[2], values[3]);
    if (!line || !stored)
        return line;
    AppendInTextMode(out, *line);
    return &m_line;
}

bool ReportLineTemplate::AppendStored(ByteOutput &out, std::string_view date,
                                      std::string_view title, std::string_view entry,
                                      std::string_view imagePath)
{
    const Values values = {date, title, entry, imagePath};
    if (FitsOnePass(values)) {
        AppendOnePass(out, values, true);
        return true;
    }
    const Text *line = Fill(values, true);
    if (line)
        out.Append(*line);
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

template <typename Out>
void ReportLineTemplate::AppendOnePass(Out &out, const Values &values, bool stored) const
{
    for (size_t piece = 0; piece < m_slots.size(); ++piece) {
        out.Append(stored ? std::string_view(m_storedLiterals[piece]) : m_literals[piece]);
        const size_t slot = m_slots[piece];
        if (slot != 3) {
            AppendValue(out, values[slot], slot == 2, stored);
        } else if (!values[3].empty()) {
            AppendValue(out, values[3], false, stored);
            out.Append(">");
        }
    }
    out.Append(stored ? std::string_view(m_storedLiterals.back()) : m_literals.back());
}

Report::Report(EntryList &entries, MessageBoxes &boxes, Shell &shell)
    : m_entries(entries), m_boxes(boxes), m_shell(shell), m_calls(m_systemCalls)
{
}

Report::Report(EntryList &entries, MessageBoxes &boxes, Shell &shell, SaveCalls &calls)
    : m_entries(entries), m_boxes(boxes), m_shell(shell), m_calls(calls)
{
}

void Report::OnReport()
{
    // Resolved once, so that the report is written to one file and Yes opens that file.
    const std::string reportFile = ResolveFileName(reportName);
    if (!WriteReport(reportFile))
        return;

    const Text question = Text("Your Entries Have Been Written.\nYour report was written to:\n") +
                          Text(reportName) + "\nWould you like to view it now?" +
                          "\n\nTo customize the reports, please add a header.htm and footer.htm";
    if (m_boxes.AppBox(question, BoxYesNo) == AnswerYes)
        OpenOrSayWhyNot(m_shell, m_boxes, reportFile);
}

// Every template is read before the report is written, and the report goes to a new file that
// replaces the old one only once it is whole: the first piece that fails, read or write, ends
// the report with one box and leaves the previous report as it was. False then, or when a stop
// signal came (a box may have been open when it did).
bool Report::WriteReport(const std::string &reportFile)
{
    const int rowCount = m_entries.List().RowCount();
    const std::optional<Text> header = ReadTemplate(headerName);
    if (!header)
        return false;
    // Read only when there are entries, so that it is created only then.
    std::optional<Text> lineTemplate;
    if (rowCount > 0 && !(lineTemplate = ReadTemplate(lineTemplateName)))
        return false;
    const std::optional<Text> footer = ReadTemplate(footerName);
    if (!footer || StopSignalReceived())
        return false;
    if (!MayWriteThrough(reportFile)) {
        m_boxes.DialogBox(Text(writeFailure) + "\n\n" + reportFile +
                              " is a symbolic link that another user made, or that leads to "
                              "another user's file; it is not followed.",
                          writeFailureCaption, BoxOk);
        return false;
    }
    ReportLineTemplate filler(EffectiveTemplate(lineTemplate ? *lineTemplate : std::string_view()));
    const auto bytes = [&](ByteOutput &out) {
        AppendInTextMode(out, *header);
        if (!AppendLines(out, filler, rowCount)) {
            out.Fail();
            return;
        }
        AppendInTextMode(out, *footer);
    };
    if (SaveFileSafely(reportFile, bytes, m_calls))
        return true;
    m_boxes.DialogBox(writeFailure, writeFailureCaption, BoxOk);
    return false;
}

// Reads each row's texts in place, never through the form, so that the form, the chosen row
// and the selection stay as the user left them. False when a line is too large to fill.
bool Report::AppendLines(ByteOutput &out, ReportLineTemplate &filler, int rowCount)
{
    const ListView &list = m_entries.List();
    const Text &imagePath = m_entries.Form().ImagePath;
    for (int row = 0; row < rowCount; ++row) {
        const RowView texts = list.RowAt(row);
        if (!filler.AppendStored(out, texts[0], texts[1], texts[2], imagePath))
            return false;
    }
    return true;
}

std::optional<Text> Report::ReadTemplate(std::string_view name)
{
    const std::string path = ResolveFileName(name);
    struct stat status = {};
    if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_size > maxTemplateSize) {
        m_boxes.DialogBox(Text(loadFailure) + "\n\n" + path + " is larger than " +
                              std::to_string(maxTemplateSize >> 20) +
                              " MiB, more than any template needs; it is not read.",
                          loadFailureCaption, BoxOk);
        return std::nullopt;
    }
    std::optional<Text> text = LoadFile(path);
    if (!text)
        m_boxes.DialogBox(loadFailure, loadFailureCaption, BoxOk);
    return text;
}
