// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/byteoutput.h"
#include "common/text.h"

#include <array>
#include <memory>
#include <string_view>
#include <vector>

// The line template used when "ReportLine.htm" reads as empty.
inline constexpr std::string_view DefaultLineTemplate =
    "<b>#DATE# - #TITLE#</b><br>#ENTRY#<br>#IMAGE#<hr>";

// The largest report line filled in. Each step sees the text inserted by the steps before it,
// so a title full of "#ENTRY#" multiplies the entry: a journal of a few megabytes could
// otherwise ask for more memory than any machine has for one line.
inline constexpr size_t MaxReportLineSize = size_t(512) << 20;

// The report's line template, filled in once per entry: "#DATE#", "#TITLE#", "#ENTRY#" (CR LF
// shown as "<br>") and "#IMAGE#" (the image path followed by ">", or nothing), replaced in that
// order, upper case only. Inserted text is not searched again by its own step, but later steps
// do see it, so a title holding "#ENTRY#" receives the entry text.
//
// Most templates allow filling a line in one pass over the template's pieces, straight into
// the output; the others, and values that hold a '#', are filled step by step. Either way the
// line is the same.
class ReportLineTemplate
{
public:
    explicit ReportLineTemplate(std::string_view lineTemplate);
    ReportLineTemplate(const ReportLineTemplate &) = delete;
    ReportLineTemplate &operator=(const ReportLineTemplate &) = delete;
    ~ReportLineTemplate();

    // Appends the filled-in line to `out` as a text-mode file stores it, each LF as CR LF.
    // False, with nothing appended, when the line would grow beyond MaxReportLineSize.
    bool AppendStored(ByteOutput &out, std::string_view date, std::string_view title,
                      std::string_view entry, std::string_view imagePath);

private:
    using Values = std::array<std::string_view, 4>;
    bool FitsOnePass(const Values &values) const;
    void AppendOnePass(ByteOutput &out, const Values &values) const;

    Text m_template;
    // Set when every '#' of the template begins a placeholder and no two placeholders are
    // joined by nothing or by capitals only, so that no step can make a placeholder out of
    // text around another: m_literals[i], stored with each LF as CR LF, is followed by the
    // value of placeholder m_slots[i].
    bool m_onePass = false;
    std::vector<Text> m_literals;
    std::vector<size_t> m_slots;
    std::array<size_t, 4> m_counts{}; // occurrences of each placeholder
    class StepFiller;
    std::unique_ptr<StepFiller> m_steps;
};
