// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report.h"

#include "common/textfile.h"
#include "journal/safesave.h"
#include "session/stopsignals.h"

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
} // namespace

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
    if (!WriteReport(reportFile) || StopSignalReceived()) // ending: no one to answer
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
