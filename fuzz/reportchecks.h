// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Properties of the report's line template filling that must hold for any template and any
// values. Shared by the fuzz target fuzz_report_line and by tests/tst_fuzzregressions.cpp.
// Each check returns an empty text when the property holds, otherwise what failed. The line is
// filled as the report fills it, through ReportLineTemplate, and compared with the same steps
// done here by plain replacing.

#include "checkhelpers.h"

#include "common/byteoutput.h"
#include "report/reportline.h"

#include <array>
#include <optional>
#include <string_view>

namespace fuzzchecks {

// The input split at the byte 0x1F into template, date, title, entry and image path; missing
// parts are empty, a sixth part and beyond belong to the image path.
struct ReportLineInput
{
    std::array<Text, 5> parts; // template, date, title, entry, image path

    explicit ReportLineInput(std::string_view bytes)
    {
        for (size_t part = 0; part < parts.size(); ++part) {
            const size_t end = part + 1 < parts.size() ? bytes.find('\x1F') : Text::npos;
            parts[part] = bytes.substr(0, end);
            if (end == Text::npos)
                break;
            bytes.remove_prefix(end + 1);
        }
    }
    const Text &Template() const { return parts[0]; }
    // The line as the report stores it, each LF as CR LF; false when it was refused.
    bool FillStored(Text &stored) const
    {
        ReportLineTemplate prepared(parts[0]);
        ByteOutput out([&stored](std::string_view bytes) {
            stored.append(bytes);
            return true;
        });
        const bool filled = prepared.AppendStored(out, parts[1], parts[2], parts[3], parts[4]);
        out.Finish();
        return filled;
    }
    // The same line as it is before storing: every CR LF of the stored form comes from an LF.
    std::optional<Text> Fill() const
    {
        Text line;
        if (!FillStored(line))
            return std::nullopt;
        ReplaceAll(line, "\r\n", "\n");
        return line;
    }
};

inline constexpr std::array<std::string_view, 4> placeholders = {"#DATE#", "#TITLE#", "#ENTRY#",
                                                                 "#IMAGE#"};

// The values that replace the placeholders, in their order.
inline std::array<Text, 4> Replacements(const ReportLineInput &input)
{
    Text entry = input.parts[3];
    ReplaceAll(entry, "\r\n", "<br>");
    const Text &image = input.parts[4];
    return {input.parts[1], input.parts[2], entry, image.empty() ? Text() : image + ">"};
}

// The line filled in by the four steps, each replacing every occurrence left to right.
inline Text FilledStepByStep(const ReportLineInput &input)
{
    const std::array<Text, 4> values = Replacements(input);
    Text line = input.Template();
    for (size_t step = 0; step < placeholders.size(); ++step)
        ReplaceAll(line, placeholders[step], values[step]);
    return line;
}

// An upper bound of the filled line's size. While the steps run, the line consists of pieces
// of the template and of the values inserted so far; a placeholder occurrence lies inside one
// piece or across one of the boundaries between pieces, and every insertion adds at most two
// boundaries. Later steps see inserted text, so the size can grow as a product of the parts.
inline long double FilledSizeBound(const ReportLineInput &input)
{
    const std::array<Text, 4> values = Replacements(input);
    std::array<long double, 4> inserted{};
    long double insertedTotal = 0;
    long double size = input.Template().size();
    for (size_t step = 0; step < placeholders.size(); ++step) {
        long double count =
            CountOccurrences(input.Template(), placeholders[step]) + 2 * insertedTotal;
        for (size_t earlier = 0; earlier < step; ++earlier)
            count += inserted[earlier] * CountOccurrences(values[earlier], placeholders[step]);
        inserted[step] = count;
        insertedTotal += count;
        size += count * values[step].size();
    }
    return size;
}

// The line for a template whose every '#' belongs to one of the placeholders, filled in one
// pass. Empty when the template is not of that kind, or when the steps could join text around
// a placeholder into another one: two placeholders separated by nothing or by capitals only.
inline std::optional<Text> FilledInOnePass(const ReportLineInput &input)
{
    const std::array<Text, 4> values = Replacements(input);
    for (const Text &value : values) {
        if (value.find('#') != Text::npos)
            return std::nullopt;
    }
    const std::string_view text = input.Template();
    Text line;
    size_t literalStart = 0;
    bool afterPlaceholder = false;
    for (size_t at = text.find('#'); at != Text::npos; at = text.find('#', literalStart)) {
        const std::string_view literal = text.substr(literalStart, at - literalStart);
        if (afterPlaceholder &&
            literal.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == Text::npos)
            return std::nullopt;
        line += literal;
        size_t step = 0;
        while (step < placeholders.size() && !text.substr(at).starts_with(placeholders[step]))
            ++step;
        if (step == placeholders.size())
            return std::nullopt;
        line += values[step];
        literalStart = at + placeholders[step].size();
        afterPlaceholder = true;
    }
    line += text.substr(literalStart);
    return line;
}

// Lines whose bound exceeds this are not filled here (the program itself refuses lines beyond
// MaxReportLineSize): a template full of "#DATE#" and a date full of
// "#TITLE#" multiply a long title into gigabytes, as the replacement order prescribes.
inline constexpr long double filledSizeLimit = 16.0L * 1024 * 1024;
static_assert(filledSizeLimit <= MaxReportLineSize);

inline bool WithinSizeLimit(const ReportLineInput &input)
{
    return FilledSizeBound(input) <= filledSizeLimit;
}

inline Text CheckReportLine(std::string_view bytes)
{
    const ReportLineInput input(bytes);
    const long double bound = FilledSizeBound(input);
    if (bound > filledSizeLimit)
        return {};
    Text stored;
    if (!input.FillStored(stored))
        return "a line within the size limit was refused";
    Text line = stored;
    ReplaceAll(line, "\r\n", "\n");
    if (line.size() > bound)
        return "the line has " + std::to_string(line.size()) + " bytes, more than the bound " +
               std::to_string(static_cast<unsigned long long>(bound));
    if (input.Template().find('#') == Text::npos && line != input.Template())
        return "a template without '#' was changed into " + Shown(line);
    if (const std::optional<Text> expected = FilledInOnePass(input); expected && line != *expected)
        return "the line differs: " + ShownDifference(line, *expected);
    const Text steps = FilledStepByStep(input);
    if (line != steps)
        return "the line differs from the steps': " + ShownDifference(line, steps);
    Text storedSteps = steps;
    ReplaceAll(storedSteps, "\n", "\r\n");
    if (stored != storedSteps)
        return "the stored line differs from the line with CR LF";
    return {};
}

} // namespace fuzzchecks
