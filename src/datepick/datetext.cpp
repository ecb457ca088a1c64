// SPDX-License-Identifier: GPL-3.0-or-later
#include "datepick/datetext.h"

#include "datepick/timevalue.h"

#include <string>

namespace {
Text TwoDigits(int number)
{
    Text digits = std::to_string(number);
    if (digits.size() < 2)
        digits.insert(0, 1, '0');
    return digits;
}
} // namespace

Text DateText(const CalendarDay &day)
{
    return std::to_string(day.year) + "-" + TwoDigits(day.month) + "-" + TwoDigits(day.day);
}

std::optional<Text> DateText(const PickedDate &picked)
{
    if (picked.dayWithoutTime)
        return DateText(*picked.dayWithoutTime);
    if (const auto day = LocalDayOf(picked.SelectedTime))
        return DateText(*day);
    return std::nullopt;
}
