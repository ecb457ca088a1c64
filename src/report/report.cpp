#include "report/report.h"

#include "common/textfile.h"

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
} // namespace

Text FillReportLine(std::string_view lineTemplate, const Text &date, const Text &title,
                    const Text &entry, const Text &imagePath)
{
    Text line(lineTemplate);
    ReplaceAll(line, "#DATE#", date);
    ReplaceAll(line, "#TITLE#", title);
    if (line.find("#ENTRY#") != Text::npos) {
        Text shownEntry = entry;
        ReplaceAll(shownEntry, "\r\n", "<br>");
        ReplaceAll(line, "#ENTRY#", shownEntry);
    }
    if (line.find("#IMAGE#") != Text::npos)
        ReplaceAll(line, "#IMAGE#", imagePath.empty() ? Text() : imagePath + ">");
    return line;
}

Report::Report(EntryList &entries, MessageBoxes &boxes, Shell &shell)
    : m_entries(entries), m_boxes(boxes), m_shell(shell)
{
}

void Report::OnReport()
{
    TruncateReport(reportName);
    AppendToReport(ReadWholeFile(headerName));
    AppendEntries();
    AppendToReport(ReadWholeFile(footerName));
    m_entries.WriteForm();

    const Text question = Text("Your Entries Have Been Written.\nYour report was written to:\n")
                          + Text(reportName) + "\nWould you like to view it now?"
                          + "\n\nTo customize the reports, please add a header.htm and footer.htm";
    if (m_boxes.AppBox(question, BoxYesNo) == AnswerYes)
        m_shell.Open(ResolveFileName(reportName));
}

// Each row's line could be made by loading the row into the form and reading the line
// template and opening the report anew, but while the template reads well and the report
// opens, the same bytes come from reading the template once and writing all lines through one
// open file, without per-row form exchange. Any other case takes the row-by-row way, which
// shows the failure messages for each entry.
void Report::AppendEntries()
{
    const int rowCount = m_entries.List().ItemCount();
    if (rowCount <= 0)
        return;
    const std::optional<Text> lineTemplate = LoadFile(lineTemplateName);
    if (!lineTemplate) {
        AppendEntriesOneByOne(rowCount);
        return;
    }
    const std::vector<Row> rows = m_entries.List().Rows();
    AppendLinesAtOnce(rows, EffectiveTemplate(*lineTemplate));
    m_entries.LoadRowIntoForm(rowCount - 1);
}

void Report::AppendEntriesOneByOne(int rowCount)
{
    for (int row = 0; row < rowCount; ++row) {
        m_entries.LoadRowIntoForm(row);
        m_entries.ReadForm();
        AppendToReport(BuildReportLine());
    }
}

void Report::AppendLinesAtOnce(const std::vector<Row> &rows, std::string_view lineTemplate)
{
    const Text &imagePath = m_entries.Form().ImagePath;
    TextFile file;
    if (!file.Open(appendName, TextFile::Mode::WriteAppend)) {
        for (const Row &row : rows)
            AppendToReport(FillReportLine(lineTemplate, row[0], row[1], row[2], imagePath));
        return;
    }
    // Appended one by one, a line with bytes fails once the disk is full, an empty one not.
    int linesWithBytes = 0;
    for (const Row &row : rows) {
        const Text line = FillReportLine(lineTemplate, row[0], row[1], row[2], imagePath);
        linesWithBytes += line.empty() ? 0 : 1;
        file.Write(line);
    }
    if (!file.Close()) {
        for (int line = 0; line < linesWithBytes; ++line)
            ShowWriteFailure();
    }
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

Text Report::BuildReportLine()
{
    const Text lineTemplate = ReadWholeFile(lineTemplateName);
    const EntryForm &form = m_entries.Form();
    return FillReportLine(EffectiveTemplate(lineTemplate), form.Date, form.Title, form.Entry,
                          form.ImagePath);
}

void Report::AppendToReport(std::string_view text)
{
    TextFile file;
    if (!file.Open(appendName, TextFile::Mode::WriteAppend)) {
        ShowWriteFailure();
        return;
    }
    file.Write(text);
    if (!file.Close())
        ShowWriteFailure();
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
