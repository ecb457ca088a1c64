// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"

#include <cstdint>
#include <string_view>
#include <vector>

// Whether a text holds what the user asked to find, comparing the text as the user sees it:
// valid UTF-8 as UTF-8, any other text as Windows-1252 (see common/textcodec.h). The needle is
// taken the same way; typed, it is UTF-8.
//
// With `matchCase` the characters must be the same. Without it the text and the needle are
// compared in Unicode's full case folding (see find/casefold.h): the needle matches wherever
// its folding lies within the text's, so "É" finds "é", "STRASSE" finds "Straße" and "stras"
// finds it too. An empty needle, or one holding a line break, matches nothing: a match never
// spans two lines.
class TextMatcher
{
public:
    TextMatcher(std::string_view needle, bool matchCase);

    bool Matches(std::string_view text) const;

private:
    enum class Mode {
        Nothing,
        Bytes,  // the same bytes in the same encoding
        Folded, // the needle's folding in the text's
    };
    class Reader;

    // Where a match may start: at a byte beyond ASCII, or at an ASCII byte b with
    // (b | firstMask) == first that is followed by one beyond ASCII or by one with
    // (b | secondMask) == second. Each pattern is repeated in all eight bytes of a word, so
    // that eight positions are tested at once.
    struct Scan
    {
        std::uint64_t first = 0;
        std::uint64_t firstMask = 0;
        std::uint64_t second = 0;
        std::uint64_t secondMask = 0;
    };
    static size_t NextCandidate(std::string_view text, size_t pos, const Scan &scan);
    static size_t NextCandidateNearEnd(std::string_view text, size_t pos, const Scan &scan);

    // The needle's folding and what the search for it needs.
    void PrepareFolded();
    bool MatchesBytes(std::string_view text) const;
    bool MatchesFolded(std::string_view text) const;
    bool MatchesFoldedFrom(std::string_view text, size_t pos) const;
    // Whether the needle's folding lies in the text's from the `skip`th character of the
    // folding of the character at `pos`.
    bool FoldedMatchAt(Reader &reader, size_t pos, int skip) const;
    bool MayStartMatch(char32_t codePoint) const;

    Mode m_mode = Mode::Nothing;
    Text m_utf8;
    bool m_ascii = false;
    Text m_windows1252; // empty when Windows-1252 cannot write the needle (or it is ASCII)
    std::vector<char32_t> m_folded;
    // The characters beyond ASCII whose folding holds the needle's first folded character.
    std::vector<char32_t> m_starters;
    Scan m_scan;
    size_t m_minBytes = 0; // shorter texts cannot hold a match
};
