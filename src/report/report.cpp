#include "report/report.h"

#include "common/textfile.h"
#include "session/stopsignals.h"

namespace {
constexpr std::string_view reportName = "Report.htm";
// The same file as reportName: names are resolved without regard to letter case.
constexpr std::string_view appendName = "report.htm";
constexpr std::string_view headerName = "Header.htm";
constexpr std::string_view lineTemplateName = "ReportLine.htm";
constexpr std::string_view footerName = "Footer.htm";

// The whole text of `name` (created empty when missing); nothing when it can be neither
// opened nor created, or reading it fails part way.
std::optional<Text> LoadFile(std::string_view name)
{
    TextFile file;
    Text text;
    if (!file.Open(name, TextFile::Mode::Read) || !file.ReadAll(text))
        return std::nullopt;
    file.Close();
    return text;
}

std::string_view EffectiveTemplate(std::string_view lineTemplate)
{
    return lineTemplate.empty() ? DefaultLineTemplate : lineTemplate;
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

Report::Report(EntryList &entries, MessageBoxes &boxes, Shell &shell)
    : m_entries(entries), m_boxes(boxes), m_shell(shell)
{
}

void Report::OnReport()
{
    const bool written = WriteReport();
    m_entries.WriteForm();
    if (!written)
        return;

    const Text question = Text("Your Entries Have Been Written.\nYour report was written to:\n") +
                          Text(reportName) + "\nWould you like to view it now?" +
                          "\n\nTo customize the reports, please add a header.htm and footer.htm";
    if (m_boxes.AppBox(question, BoxYesNo) == AnswerYes)
        m_shell.Open(ResolveFileName(reportName));
}

// False when a piece could not be written or a stop signal came; a signal may well arrive
// while a message about a template is open, so it is looked for after each one.
bool Report::WriteReport()
{
    TruncateReport(reportName);
    const Text header = ReadWholeFile(headerName);
    if (StopSignalReceived() || !AppendToReport(header) || !AppendEntries())
        return false;
    const Text footer = ReadWholeFile(footerName);
    return !StopSignalReceived() && AppendToReport(footer);
}

// Each row's line could be made by loading the row into the form, reading the line template
// and opening the report anew, but the same bytes come from reading the template once and
// writing all lines through one open file, without per-row form exchange. A template that
// cannot be read is reported once, not for every entry.
bool Report::AppendEntries()
{
    const int rowCount = m_entries.List().ItemCount();
    if (rowCount <= 0)
        return true;
    const Text lineTemplate = ReadWholeFile(lineTemplateName);
    const bool written =
        !StopSignalReceived() && AppendLines(rowCount, EffectiveTemplate(lineTemplate));
    m_entries.LoadRowIntoForm(rowCount - 1);
    return written;
}

// Reads each row's texts in place rather than through a copy of all rows. A line too large
// to fill counts as a failure to write it.
bool Report::AppendLines(int rowCount, std::string_view lineTemplate)
{
    const ListView &list = m_entries.List();
    const Text &imagePath = m_entries.Form().ImagePath;
    ReportLineFiller filler;
    TextFile file;
    if (!file.Open(appendName, TextFile::Mode::WriteAppend)) {
        ShowWriteFailure();
        return false;
    }
    for (int row = 0; row < rowCount; ++row) {
        if (StopSignalReceived())
            return false;
        const RowView texts = list.RowAt(row);
        const Text *line = filler.Fill(lineTemplate, texts[0], texts[1], texts[2], imagePath);
        if (!line || !file.Write(*line)) {
            file.Close();
            ShowWriteFailure();
            return false;
        }
    }
    if (!file.Close()) {
        ShowWriteFailure();
        return false;
    }
    return true;
}

Text Report::ReadWholeFile(std::string_view name)
{
    m_entries.ReadForm();
    std::optional<Text> text = LoadFile(name);
    if (!text) {
        m_boxes.DialogBox("Error loading file", "Error", BoxOk);
        return {};
    }
    return std::move(*text);
}

bool Report::AppendToReport(std::string_view text)
{
    TextFile file;
    const bool written = file.Open(appendName, TextFile::Mode::WriteAppend) && file.Write(text);
    if (file.Close() && written)
        return true;
    ShowWriteFailure();
    return false;
}

void Report::TruncateReport(std::string_view name)
{
    TextFile file;
    if (file.Open(name, TextFile::Mode::WriteTruncate))
        file.Close();
}

void Report::ShowWriteFailure()
{
    m_boxes.DialogBox("Could not write to log file", "Error Log", BoxOk);
}
