#pragma once

#include "common/text.h"

#include <cstdio>
#include <string_view>

namespace fuzzchecks {

// A value for a failure message: quoted, control and non-ASCII bytes as \xNN, long values cut.
inline Text Shown(std::string_view value)
{
    constexpr size_t shownBytes = 80;
    Text shown = "\"";
    for (const char c : value.substr(0, shownBytes)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') {
            shown += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        }
    }
    shown += value.size() > shownBytes ? "\"... (" + std::to_string(value.size()) + " bytes)"
                                       : Text("\"");
    return shown;
}

} // namespace fuzzchecks
