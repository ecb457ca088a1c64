// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"

#include <algorithm>
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

// Two texts that differ, shown from a little before their first difference.
inline Text ShownDifference(std::string_view actual, std::string_view expected)
{
    const auto mismatch =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    const size_t at = static_cast<size_t>(mismatch.first - actual.begin());
    const size_t from = at > 20 ? at - 20 : 0;
    return "got " + Shown(actual.substr(from)) + ", expected " + Shown(expected.substr(from)) +
           " (sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size()) +
           ", first difference at byte " + std::to_string(at) + ", shown from byte " +
           std::to_string(from) + ")";
}

} // namespace fuzzchecks
