// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/textcodec.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

// Windows-1252 bytes 0x80-0x9F. The five bytes the code page leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the C1 controls of the same number.
constexpr std::array<char32_t, 32> windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 0x98
};

void AppendUtf8(Text &out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        // Every code point of Windows-1252 lies in the Basic Multilingual Plane.
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

} // namespace

char32_t Windows1252ToCodePoint(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0x9F ? windows1252High[byte - 0x80] : char32_t(byte);
}

DecodedChar DecodeUtf8(std::string_view bytes, std::size_t pos)
{
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(pos);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t length = 0;
    char32_t codePoint = 0;
    // Bounds of the second byte; they exclude overlongs, surrogates and values past U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return {};
    }
    if (bytes.size() - pos < length)
        return {};
    if (at(pos + 1) < low || at(pos + 1) > high)
        return {};
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = at(pos + i);
        if ((next & 0xC0) != 0x80)
            return {};
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    return {codePoint, length};
}

namespace {

// Length of the leading run of ASCII bytes, checked eight at a time.
std::size_t AsciiPrefix(std::string_view bytes, std::size_t pos)
{
    constexpr std::uint64_t highBits = 0x8080808080808080ULL;
    while (bytes.size() - pos >= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + pos, sizeof word);
        if (word & highBits)
            break;
        pos += 8;
    }
    while (pos < bytes.size() && static_cast<unsigned char>(bytes[pos]) < 0x80)
        ++pos;
    return pos;
}

} // namespace

bool IsValidUtf8(std::string_view bytes)
{
    std::size_t pos = 0;
    while ((pos = AsciiPrefix(bytes, pos)) < bytes.size()) {
        const DecodedChar decoded = DecodeUtf8(bytes, pos);
        if (decoded.length == 0)
            return false;
        pos += decoded.length;
    }
    return true;
}

Text Windows1252ToUtf8(std::string_view bytes)
{
    Text out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char byte : bytes)
        AppendUtf8(out, Windows1252ToCodePoint(static_cast<unsigned char>(byte)));
    return out;
}
