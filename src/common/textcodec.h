#pragma once

#include "common/text.h"

#include <string_view>

// How the bytes of the loaded journal are shown and edited. The choice is made once per load:
// a journal whose bytes are valid UTF-8 as a whole is UTF-8; otherwise it is taken as
// Windows-1252, the Western 8-bit code page such journals usually come from.
enum class TextEncoding { Utf8, Windows1252 };

bool IsValidUtf8(std::string_view bytes);

void SetTextEncoding(TextEncoding encoding);
TextEncoding CurrentTextEncoding();

// Journal bytes to UTF-8 for display. In UTF-8 mode invalid sequences are left to the
// toolkit's decoder (shown as replacement characters); in Windows-1252 mode every byte maps
// to one character, the five unassigned bytes to the C1 controls of the same number.
Text LocalToUtf8(std::string_view bytes);
// UTF-8 typed by the user to journal bytes. In Windows-1252 mode a character the code page
// lacks becomes "?".
Text Utf8ToLocal(std::string_view utf8);
