// SPDX-License-Identifier: GPL-3.0-or-later
#include "find/textmatcher.h"

#include "common/textcodec.h"
#include "find/casefold.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

namespace {

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

bool IsAsciiLetter(unsigned char byte)
{
    return (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z';
}

bool Contains(std::string_view text, std::string_view needle)
{
    return ::memmem(text.data(), text.size(), needle.data(), needle.size()) != nullptr;
}

// The needle as Windows-1252 writes it; nothing when one of its characters is not in the code
// page.
std::optional<Text> ToWindows1252(std::string_view utf8)
{
    Text bytes;
    for (size_t pos = 0; pos < utf8.size();) {
        const DecodedChar c = DecodeUtf8(utf8, pos);
        int byte = 0;
        while (byte < 256 &&
               Windows1252ToCodePoint(static_cast<unsigned char>(byte)) != c.codePoint)
            ++byte;
        if (byte == 256)
            return std::nullopt;
        bytes += static_cast<char>(byte);
        pos += c.length;
    }
    return bytes;
}

constexpr std::uint64_t ones = 0x0101010101010101ULL;
constexpr std::uint64_t highs = ones * 0x80;

template <typename Word> Word Load(const char *bytes)
{
    Word word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// The high bit of every zero byte of `word`. A zero's borrow may also flag the byte above it
// when that is 1, never one below the first zero: the lowest flag is always right.
template <typename Word> Word ZeroBytes(Word word)
{
    return (word - Word(ones)) & ~word & Word(highs);
}

template <typename Word> size_t LowestFlagged(Word flags)
{
    if constexpr (std::endian::native == std::endian::little)
        return size_t(std::countr_zero(flags) / 8);
    else
        return size_t(std::countl_zero(flags) / 8);
}

// The scan pattern of a folded character: the ASCII letter in both cases, another ASCII
// character as it is, and for a character beyond ASCII no ASCII byte at all (0x80 | anything
// is beyond ASCII, which the scan stops at anyway).
void SetPattern(char32_t folded, std::uint64_t &pattern, std::uint64_t &mask)
{
    const auto byte = static_cast<unsigned char>(folded < 0x80 ? folded : 0x80);
    pattern = ones * byte;
    mask = IsAsciiLetter(byte) ? ones * 0x20 : 0;
}

} // namespace

// Reads the characters of one text, deciding its encoding the first time a byte beyond ASCII
// asks for it: most texts never do.
class TextMatcher::Reader
{
public:
    explicit Reader(std::string_view text) : text(text) {}

    // The character at `pos`, which starts one; at least one byte long.
    DecodedChar At(size_t pos)
    {
        if (!m_utf8)
            m_utf8 = IsValidUtf8(text);
        const DecodedChar c = *m_utf8 ? DecodeUtf8(text, pos) : DecodedChar{};
        if (c.length > 0)
            return c;
        return {Windows1252ToCodePoint(static_cast<unsigned char>(text[pos])), 1};
    }

    const std::string_view text;

private:
    std::optional<bool> m_utf8;
};

TextMatcher::TextMatcher(std::string_view needle, bool matchCase)
{
    if (needle.empty() || needle.find_first_of("\r\n") != std::string_view::npos)
        return;
    m_utf8 = IsValidUtf8(needle) ? Text(needle) : Windows1252ToUtf8(needle);
    m_ascii = IsAscii(m_utf8);
    // Only the ASCII letters and characters beyond ASCII fold into ASCII letters, so a needle
    // of other ASCII characters matches its own bytes only.
    if (matchCase || (m_ascii && std::none_of(m_utf8.begin(), m_utf8.end(), IsAsciiLetter))) {
        m_mode = Mode::Bytes;
        if (!m_ascii)
            m_windows1252 = ToWindows1252(m_utf8).value_or(Text());
        return;
    }
    m_mode = Mode::Folded;
    PrepareFolded();
}

void TextMatcher::PrepareFolded()
{
    for (size_t pos = 0; pos < m_utf8.size();) {
        const DecodedChar c = DecodeUtf8(m_utf8, pos);
        const FoldedChar folded = FoldCase(c.codePoint);
        m_folded.insert(m_folded.end(), folded.codePoints.begin(),
                        folded.codePoints.begin() + folded.count);
        pos += c.length;
    }
    m_starters = CharsFoldingInto(m_folded.front());
    SetPattern(m_folded.front(), m_scan.first, m_scan.firstMask);
    if (m_folded.size() > 1)
        SetPattern(m_folded[1], m_scan.second, m_scan.secondMask);
    else
        m_scan.second = m_scan.secondMask = ~std::uint64_t(0); // any byte may follow
    // A text gives at most one folded character per byte, but for Windows-1252's "ß" (one
    // byte, "ss") and the Greek "ΐ" and "ΰ" (two bytes, three characters: a letter, U+0308 and
    // U+0301), which give two per byte at most.
    const std::u32string_view folded(m_folded.data(), m_folded.size());
    const bool denser = folded.find(U"ss") != std::u32string_view::npos ||
                        folded.find(U'\u0308') != std::u32string_view::npos;
    m_minBytes = denser ? (m_folded.size() + 1) / 2 : m_folded.size();
}

bool TextMatcher::Matches(std::string_view text) const
{
    switch (m_mode) {
    case Mode::Nothing:
        return false;
    case Mode::Bytes:
        return MatchesBytes(text);
    case Mode::Folded:
        return MatchesFolded(text);
    }
    return false;
}

bool TextMatcher::MatchesBytes(std::string_view text) const
{
    // An ASCII needle's bytes mean the same in both encodings; other bytes only in the text's.
    if (Contains(text, m_utf8) && (m_ascii || IsValidUtf8(text)))
        return true;
    return !m_windows1252.empty() && Contains(text, m_windows1252) && !IsValidUtf8(text);
}

bool TextMatcher::MayStartMatch(char32_t codePoint) const
{
    return std::find(m_starters.begin(), m_starters.end(), codePoint) != m_starters.end();
}

// Eight positions at a time, while a word of the bytes at them and one of the bytes after them
// fit in the text.
size_t TextMatcher::NextCandidate(std::string_view text, size_t pos, const Scan &scan)
{
    for (; text.size() - pos > 8; pos += 8) {
        const auto word = Load<std::uint64_t>(text.data() + pos);
        const auto next = Load<std::uint64_t>(text.data() + pos + 1);
        const std::uint64_t firstFits = ZeroBytes((word | scan.firstMask) ^ scan.first);
        const std::uint64_t secondFits =
            ZeroBytes((next | scan.secondMask) ^ scan.second) | (next & highs);
        const std::uint64_t hits = (word & highs) | (firstFits & secondFits);
        if (hits != 0)
            return pos + LowestFlagged(hits);
    }
    return NextCandidateNearEnd(text, pos, scan);
}

// The last positions, fewer than nine: four at a time, where four bytes are left, the second
// four overlapping the first (what the first found clean cannot be flagged by the second: a
// false flag lies above a true one of the same word). The byte after is not tested here.
size_t TextMatcher::NextCandidateNearEnd(std::string_view text, size_t pos, const Scan &scan)
{
    const auto first = std::uint32_t(scan.first);
    const auto firstMask = std::uint32_t(scan.firstMask);
    const auto hitsAt = [&](size_t at) {
        const auto word = Load<std::uint32_t>(text.data() + at);
        return (word & std::uint32_t(highs)) | ZeroBytes((word | firstMask) ^ first);
    };
    if (text.size() - pos >= 4) {
        if (const std::uint32_t hits = hitsAt(pos))
            return pos + LowestFlagged(hits);
        const size_t last = text.size() - 4;
        const std::uint32_t hits = hitsAt(last);
        return hits != 0 ? last + LowestFlagged(hits) : text.size();
    }
    const auto firstByte = static_cast<unsigned char>(first);
    const auto maskByte = static_cast<unsigned char>(firstMask);
    for (; pos < text.size(); ++pos) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte >= 0x80 || (byte | maskByte) == firstByte)
            break;
    }
    return pos;
}

// Most texts hold no place where a match may start, and are done without setting up a Reader.
bool TextMatcher::MatchesFolded(std::string_view text) const
{
    if (text.size() < m_minBytes)
        return false;
    const size_t pos = NextCandidate(text, 0, m_scan);
    return pos < text.size() && MatchesFoldedFrom(text, pos);
}

bool TextMatcher::MatchesFoldedFrom(std::string_view text, size_t pos) const
{
    Reader reader(text);
    do {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            if (FoldedMatchAt(reader, pos, 0))
                return true;
            ++pos;
            continue;
        }
        const DecodedChar c = reader.At(pos);
        if (MayStartMatch(c.codePoint)) {
            const FoldedChar folded = FoldCase(c.codePoint);
            for (int skip = 0; skip < folded.count; ++skip) {
                if (folded.codePoints[size_t(skip)] == m_folded.front() &&
                    FoldedMatchAt(reader, pos, skip))
                    return true;
            }
        }
        pos += c.length;
    } while ((pos = NextCandidate(text, pos, m_scan)) < text.size());
    return false;
}

bool TextMatcher::FoldedMatchAt(Reader &reader, size_t pos, int skip) const
{
    const std::string_view text = reader.text;
    size_t matched = 0;
    while (pos < text.size()) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x80) {
            const char32_t folded = IsAsciiLetter(byte) ? char32_t(byte | 0x20) : char32_t(byte);
            if (folded != m_folded[matched])
                return false;
            if (++matched == m_folded.size())
                return true;
            ++pos;
            continue;
        }
        const DecodedChar c = reader.At(pos);
        const FoldedChar folded = FoldCase(c.codePoint);
        for (int k = skip; k < folded.count; ++k) {
            if (folded.codePoints[size_t(k)] != m_folded[matched])
                return false;
            if (++matched == m_folded.size())
                return true;
        }
        skip = 0;
        pos += c.length;
    }
    return false;
}
