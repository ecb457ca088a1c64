// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/byteoutput.h"
#include "common/text.h"
#include "entries/entrylist.h"
#include "journal/safesave.h"
#include "report/reportline.h"
#include "ui/messageboxes.h"
#include "ui/shell.h"

#include <optional>
#include <string>
#include <string_view>

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
