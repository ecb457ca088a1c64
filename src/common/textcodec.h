// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"

#include <cstddef>
#include <string_view>

// How a text's bytes are shown and edited, decided for each text on its own: a text that is
// valid UTF-8 is UTF-8; any other is taken as Windows-1252, the Western 8-bit code page older
// journals usually come from. Texts the user types or edits are stored as UTF-8.

bool IsValidUtf8(std::string_view bytes);

// Every byte as its Windows-1252 character, in UTF-8; the five bytes the code page leaves
// unassigned become the C1 controls of the same number, so that no byte is lost.
Text Windows1252ToUtf8(std::string_view bytes);

// The character a byte stands for in Windows-1252 (see Windows1252ToUtf8).
char32_t Windows1252ToCodePoint(unsigned char byte);

struct DecodedChar
{
    char32_t codePoint = 0;
    std::size_t length = 0; // 0 when the bytes at the position are not valid UTF-8
};

// Decodes the UTF-8 sequence starting at `pos` strictly: no overlong forms, no surrogates,
// nothing above U+10FFFF.
DecodedChar DecodeUtf8(std::string_view bytes, std::size_t pos);
