// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/cellwidths.h"

#include "common/text.h"
#include "common/textcodec.h"
#include "ui/qt/byterowmodel.h"

#include <QFontMetrics>
#include <QWidget>

#include <cmath>
#include <cstring>

double CellWidths::Advance(char16_t character)
{
    double &advance = m_advances[character];
    if (advance < 0)
        advance = QFontMetricsF(m_widget.font()).horizontalAdvance(QChar(character));
    return advance;
}

int CellWidths::TextWidth(const QString &text)
{
    // Shaping a whole text is slow enough to make sizing a list of 100,000 rows take seconds.
    // Texts of Latin, Greek and similar letters without combining marks are measured by adding
    // up the advances of their characters instead; kerning only ever makes them narrower.
    constexpr char16_t firstCombiningMark = 0x0300;
    double width = 0;
    for (const QChar character : text) {
        if (character.unicode() >= firstCombiningMark)
            return QFontMetrics(m_widget.font()).horizontalAdvance(text);
        width += Advance(character.unicode());
    }
    return int(std::ceil(width));
}

void CellWidths::MeasureAscii()
{
    if (m_advances.empty())
        m_advances.assign(0x300, -1.0);
    // Fonts give advances in 1/64 pixels, and sums of those are exact in a double: adding them
    // up as integers then gives the very same width, several bytes at a time. A font whose
    // advances are not so (none known) keeps the plain sum of doubles.
    m_asciiSixtyFourths.fill(0);
    m_asciiExact = true;
    for (char16_t character = 0; character < 0x80; ++character) {
        const bool lineBreak = character == '\r' || character == '\n';
        const double units = Advance(lineBreak ? char16_t(' ') : character) * 64;
        m_asciiSixtyFourths[character] = std::int32_t(units);
        if (units != std::floor(units) || units < 0 || units > 1e6)
            m_asciiExact = false;
    }
    m_asciiMeasured = true;
}

void CellWidths::Forget()
{
    m_advances.clear();
    m_asciiMeasured = false;
}

int CellWidths::Width(std::string_view text)
{
    // The width TextWidth gives for the cell as shown. A cell of ASCII bytes shows exactly
    // those characters in either encoding, so it is measured without building its string; a
    // line break (CR LF, or a lone CR or LF) is shown as one space.
    const std::string_view bytes = ShownPart(text);
    const auto shownWidth = [&] { return TextWidth(CellDisplay(text, IsValidUtf8(text))); };
    if (!m_asciiMeasured)
        MeasureAscii();
    if (m_asciiExact) {
        // Eight bytes a step, each looked up on its own: a high bit anywhere means the text is
        // not ASCII after all.
        constexpr std::uint64_t highBits = 0x8080808080808080ULL;
        const char *byte = bytes.data();
        const size_t size = bytes.size();
        std::uint64_t seen = 0;
        std::int64_t even = 0;
        std::int64_t odd = 0;
        size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, byte + i, sizeof word);
            seen |= word;
            for (int shift = 0; shift < 64; shift += 16) {
                even += m_asciiSixtyFourths[(word >> shift) & 0xFF];
                odd += m_asciiSixtyFourths[(word >> (shift + 8)) & 0xFF];
            }
        }
        for (; i < size; ++i) {
            const auto last = static_cast<unsigned char>(byte[i]);
            seen |= last;
            even += m_asciiSixtyFourths[last];
        }
        if ((seen & highBits) == 0) {
            std::int64_t total = even + odd;
            // Each CR LF was counted as two spaces.
            if (bytes.find('\r') != std::string_view::npos)
                total -= std::int64_t(CountOccurrences(bytes, "\r\n")) * m_asciiSixtyFourths[' '];
            return int((total + 63) / 64);
        }
        return shownWidth();
    }
    double width = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char16_t character = static_cast<unsigned char>(bytes[i]);
        if (character >= 0x80)
            return shownWidth();
        if (character == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i; // a line break is shown as one space
        if (character == '\r' || character == '\n')
            character = ' ';
        width += Advance(character);
    }
    return int(std::ceil(width));
}
