// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// Texts are byte strings: whatever bytes a journal or a template holds, in the encoding the
// user's files happen to use. Conversion to the toolkit's strings happens only in ui/.
using Text = std::string;

// Replaces every occurrence of `from` by `to`, left to right and without overlap; the
// inserted text is not searched again. An empty `from` replaces nothing.
void ReplaceAll(Text &text, std::string_view from, std::string_view to);

// The same, building the result in `scratch`, which is then swapped with `text`: both keep
// their capacity, so a caller replacing line after line stops allocating once they have grown.
void ReplaceAll(Text &text, std::string_view from, std::string_view to, Text &scratch);

// The number of non-overlapping occurrences of `pattern`, counted left to right as ReplaceAll
// finds them. An empty pattern occurs nowhere.
size_t CountOccurrences(std::string_view text, std::string_view pattern);

// White space is the bytes 0x09-0x0D and 0x20. No other byte counts, so the bytes of a
// multi-byte character (0x80-0xFF) always stay.
constexpr bool IsWhiteSpace(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte == 0x20 || (byte >= 0x09 && byte <= 0x0D);
}

// `c` with an ASCII capital letter made small; every other byte as it is.
constexpr char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `line` without its trailing white space: a view, so that a long line is not copied. Inline:
// a load trims every line of the journal.
inline std::string_view WithoutTrailingWhiteSpace(std::string_view line)
{
    size_t end = line.size();
    while (end > 0 && IsWhiteSpace(line[end - 1]))
        --end;
    return line.substr(0, end);
}

// Appends `text` to `out` (anything with Append(std::string_view)) with each LF stored as
// CR LF, as a text-mode file stores it.
template <typename Out> void AppendInTextMode(Out &out, std::string_view text)
{
    for (size_t lineEnd = 0; (lineEnd = text.find('\n')) != std::string_view::npos;) {
        out.Append(text.substr(0, lineEnd));
        out.Append("\r\n");
        text.remove_prefix(lineEnd + 1);
    }
    out.Append(text);
}

// Byte-wise unsigned comparison, case-sensitive: <0, 0 or >0. For UTF-8 this is code point
// order, with multi-byte characters compared as units.
int CompareText(std::string_view a, std::string_view b);
