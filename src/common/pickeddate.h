// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

// A day of the calendar: year as the calendar counts it, month 1-12, day of the month 1-31.
struct CalendarDay
{
    int year = 1970;
    int month = 1;
    int day = 1;

    friend bool operator==(const CalendarDay &, const CalendarDay &) = default;
};

// What the Date Selection dialog holds: SelectedTime, a signed 32-bit count of seconds since
// 1970-01-01 00:00 UTC, and, for a day whose local midnight that count cannot hold (before
// the epoch, after 2038-01-19 03:14:07 UTC, or a day the local clock skips), the day itself.
// While `dayWithoutTime` is set it is the selection and SelectedTime is not used.
struct PickedDate
{
    std::int32_t SelectedTime = 0;
    std::optional<CalendarDay> dayWithoutTime;

    friend bool operator==(const PickedDate &, const PickedDate &) = default;
};
