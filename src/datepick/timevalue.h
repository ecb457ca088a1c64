// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/pickeddate.h"

#include <chrono>
#include <cstdint>
#include <optional>

// Conversions between 32-bit time values and local calendar days. A time value is valid from
// 0 (1970-01-01 00:00:00 UTC) to INT32_MAX (2038-01-19 03:14:07 UTC); nothing outside that
// range is ever converted to calendar fields.

// The time value of `now`; nullopt when it lies outside the valid range.
std::optional<std::int32_t> TimeValueOf(std::chrono::system_clock::time_point now);

// The local calendar day `now` falls on, whatever its time value.
std::optional<CalendarDay> LocalDayOf(std::chrono::system_clock::time_point now);

// The local calendar day a time value falls on; nullopt for an invalid time value.
std::optional<CalendarDay> LocalDayOf(std::int32_t time);

// The time value of local midnight at the start of `day`, the platform deciding on daylight
// saving time (a midnight that falls in a clock change becomes the first time that day has).
// nullopt when that midnight lies outside the valid range, or when the local clock skips the
// whole day, so that no time value would give that day back.
std::optional<std::int32_t> LocalMidnight(const CalendarDay &day);
