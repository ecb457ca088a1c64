// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/pickeddate.h"

// A month calendar with single-day selection and no date range set. It reports the selected
// day only, no time of day.
class MonthCalendar
{
public:
    virtual ~MonthCalendar() = default;
    virtual CalendarDay SelectedDay() const = 0;
    // Makes `day` the selection and shows its month. May report a selection change when the
    // day differs from the selected one.
    virtual void SelectDay(const CalendarDay &day) = 0;
};
