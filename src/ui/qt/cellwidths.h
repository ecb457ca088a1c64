// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

class QWidget;

// Measures cells of a list as the list shows them (see CellDisplay), in pixels of the widget's
// font, keeping the advance of every character once it has been measured. Forget() when the
// font or the style changes.
class CellWidths
{
public:
    explicit CellWidths(const QWidget &widget) : m_widget(widget) {}

    // The width of a cell holding `text` as the list shows it: its start (see ShownPart), its
    // line breaks as spaces.
    int Width(std::string_view text);
    void Forget();

private:
    double Advance(char16_t character);
    int TextWidth(const QString &text);
    void MeasureAscii();

    const QWidget &m_widget;
    std::vector<double> m_advances; // by character, below U+0300; -1 until measured
    // The advances of the bytes 0x00-0x7F in 1/64 pixels (CR and LF as a space), 0 for others.
    std::array<std::int32_t, 256> m_asciiSixtyFourths{};
    bool m_asciiExact = false; // all of them are whole numbers
    bool m_asciiMeasured = false;
};
