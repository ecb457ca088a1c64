#pragma once

#include "common/byteoutput.h"
#include "common/text.h"
#include "entries/entrylist.h"
#include "journal/safesave.h"
#include "ui/messageboxes.h"
#include "ui/shell.h"

#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

// The line template used when "ReportLine.htm" reads as empty.
inline constexpr std::string_view DefaultLineTemplate =
    "<b>#DATE# - #TITLE#</b><br>#ENTRY#<br>#IMAGE#<hr>";

// The largest report line filled in. Each step sees the text inserted by the steps before it,
// so a title full of "#ENTRY#" multiplies the entry: a journal of a few megabytes could
// otherwise ask for more memory than any machine has for one line.
inline constexpr size_t MaxReportLineSize = size_t(512) << 20;

// One copy of `lineTemplate` filled in with an entry: "#DATE#", "#TITLE#", "#ENTRY#" (CR LF
// shown as "<br>") and "#IMAGE#" (imagePath followed by ">", or nothing), replaced in that
// order, upper case only. Inserted text is not searched again by its own step, but later
// steps do see it, so a title holding "#ENTRY#" receives the entry text. Nothing when the line
// would grow beyond MaxReportLineSize.
std::optional<Text> FillReportLine(std::string_view lineTemplate, const Text &date,
                                   const Text &title, const Text &entry, const Text &imagePath);

// A line template prepared for filling in many lines. Most templates allow filling a line in
// one pass over the template's pieces; the others, and values that hold a '#', are filled step
// by step. Either way the line is the one FillReportLine gives.
class ReportLineTemplate
{
public:
    explicit ReportLineTemplate(std::string_view lineTemplate);
    ReportLineTemplate(const ReportLineTemplate &) = delete;
    ReportLineTemplate &operator=(const ReportLineTemplate &) = delete;
    ~ReportLineTemplate();

    // The filled-in line, valid until the next call; null when FillReportLine gives nothing.
    const Text *Fill(std::string_view date, std::string_view title, std::string_view entry,
                     std::string_view imagePath);
    // The same line as a text-mode file stores it, each LF as CR LF.
    const Text *FillStored(std::string_view date, std::string_view title, std::string_view entry,
                           std::string_view imagePath);
    // Appends the stored line to `out`, without building it first where it can be filled in
    // one pass. False, with nothing appended, when the line is refused.
    bool AppendStored(ByteOutput &out, std::string_view date, std::string_view title,
                      std::string_view entry, std::string_view imagePath);

private:
    using Values = std::array<std::string_view, 4>;
    const Text *Fill(const Values &values, bool stored);
    bool FitsOnePass(const Values &values) const;
    template <typename Out> void AppendOnePass(Out &out, const Values &values, bool stored) const;

    Text m_template;
    // Set when every '#' of the template begins a placeholder and no two placeholders are
    // joined by nothing or by capitals only, so that no step can make a placeholder out of
    // text around another: m_literals[i] is followed by the value of placeholder m_slots[i].
    bool m_onePass = false;
    std::vector<std::string_view> m_literals;
    std::vector<Text> m_storedLiterals; // the same, each LF as CR LF
    std::vector<size_t> m_slots;
    std::array<size_t, 4> m_counts{}; // occurrences of each placeholder
    Text m_line;
    class StepFiller;
    std::unique_ptr<StepFiller> m_steps;
};

// Writes "Report.htm" in the working directory: "Header.htm", one filled-in copy of
// "ReportLine.htm" per row (top row first), "Footer.htm". Missing templates are created empty
// when they are read; only regular files of at most 8 MiB are read. Then offers to open the
// report.
//
// The report is written like the journal: to a new file beside it, renamed into place once
// whole, so that a report that fails leaves the previous one as it was. A symbolic link in its
// place is followed only when it and the file it leads to belong to the user. The first piece
// (header, line, footer) that cannot be read or written ends the report with one message; a
// stop signal ends it without one. Either way the report is not offered for viewing.
class Report
{
public:
    Report(EntryList &entries, MessageBoxes &boxes, Shell &shell);
    // `calls` performs the report's writing; it must outlive this object.
    Report(EntryList &entries, MessageBoxes &boxes, Shell &shell, SaveCalls &calls);

    // The Report button. The caller runs ReadForm before and WriteForm after it. The form, the
    // chosen row and the selection are left as they were: a draft typed but not yet added
    // stays, and Update still acts on the row last clicked, with the form's texts.
    void OnReport();

private:
    // The template's text; nothing, after a box that says why, when it cannot be read or is
    // too large.
    std::optional<Text> ReadTemplate(std::string_view name);
    bool WriteReport(const std::string &reportFile);
    bool AppendLines(ByteOutput &out, ReportLineTemplate &filler, int rowCount);

    EntryList &m_entries;
    MessageBoxes &m_boxes;
    Shell &m_shell;
    SaveCalls m_systemCalls;
    SaveCalls &m_calls;
};
