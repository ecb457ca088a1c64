// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"

#include <QString>

#include <string_view>

// The one crossing between the journal's bytes and the toolkit's strings. Every text shown in a
// widget or read back from one goes through this pair, so the encoding is decided in one place.

// Each text on its own: valid UTF-8 is shown as UTF-8, any other text as Windows-1252 (see
// common/textcodec.h). Depends on nothing but the bytes.
QString ToDisplay(std::string_view bytes);
// A part of a text, shown as it is within the whole text: `wholeIsUtf8` is what IsValidUtf8
// gave for the whole text.
QString ToDisplay(std::string_view part, bool wholeIsUtf8);
// What the user typed or edited, as UTF-8: no character is ever lost.
Text FromDisplay(const QString &shown);
