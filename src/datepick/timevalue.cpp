// SPDX-License-Identifier: GPL-3.0-or-later
#include "datepick/timevalue.h"

#include <ctime>
#include <limits>

namespace {
bool IsValidTimeValue(std::int64_t seconds)
{
    return seconds >= 0 && seconds <= std::numeric_limits<std::int32_t>::max();
}

std::optional<CalendarDay> LocalDayOfSeconds(std::int64_t seconds)
{
    if (seconds < std::numeric_limits<std::time_t>::min() ||
        seconds > std::numeric_limits<std::time_t>::max())
        return std::nullopt;
    const auto time = static_cast<std::time_t>(seconds);
    std::tm fields{};
    if (!localtime_r(&time, &fields))
        return std::nullopt;
    return CalendarDay{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday};
}

std::int64_t SecondsOf(std::chrono::system_clock::time_point now)
{
    return std::chrono::floor<std::chrono::seconds>(now).time_since_epoch().count();
}
} // namespace

std::optional<std::int32_t> TimeValueOf(std::chrono::system_clock::time_point now)
{
    const std::int64_t seconds = SecondsOf(now);
    if (!IsValidTimeValue(seconds))
        return std::nullopt;
    return static_cast<std::int32_t>(seconds);
}

std::optional<CalendarDay> LocalDayOf(std::chrono::system_clock::time_point now)
{
    return LocalDayOfSeconds(SecondsOf(now));
}

std::optional<CalendarDay> LocalDayOf(std::int32_t time)
{
    if (!IsValidTimeValue(time))
        return std::nullopt;
    return LocalDayOfSeconds(time);
}

std::optional<std::int32_t> LocalMidnight(const CalendarDay &day)
{
    // Rejecting impossible days first keeps mktime from rolling them into another day.
    // Years beyond what the calendar types hold are far outside the valid range anyway.
    constexpr int maxYear = 32767;
    if (day.year < -maxYear || day.year > maxYear || day.month < 1 || day.day < 1)
        return std::nullopt;
    const std::chrono::year_month_day civil{std::chrono::year(day.year),
                                            std::chrono::month(unsigned(day.month)),
                                            std::chrono::day(unsigned(day.day))};
    if (!civil.ok())
        return std::nullopt;

    std::tm fields{};
    fields.tm_year = day.year - 1900;
    fields.tm_mon = day.month - 1;
    fields.tm_mday = day.day;
    fields.tm_isdst = -1; // the platform decides whether daylight saving time applies
    const std::time_t midnight = std::mktime(&fields);
    // mktime normalises the fields to the local time it chose. A different day means the
    // local clock never shows this one; a failed mktime returns -1, which is out of range.
    const CalendarDay chosen{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday};
    if (chosen != day || !IsValidTimeValue(midnight))
        return std::nullopt;
    return static_cast<std::int32_t>(midnight);
}
