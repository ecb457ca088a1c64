#pragma once

#include "common/text.h"

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

    bool MatchesBytes(std::string_view text) const;
    bool MatchesFolded(std::string_view text) const;
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
    // A scan stops at every byte beyond ASCII and at the bytes b with (b | m_scanMask) ==
    // m_scanByte, the ASCII letters that fold to the needle's first character.
    unsigned char m_scanByte = 0x80;
    unsigned char m_scanMask = 0;
    size_t m_minBytes = 0; // shorter texts cannot hold a match
};
