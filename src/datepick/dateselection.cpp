// SPDX-License-Identifier: GPL-3.0-or-later
#include "datepick/dateselection.h"

#include "datepick/timevalue.h"

DateSelection::DateSelection(MonthCalendar &calendar, const PickedDate &start)
    : m_calendar(calendar), m_picked(start)
{
}

void DateSelection::WriteForm()
{
    const std::optional<CalendarDay> day =
        m_picked.dayWithoutTime ? m_picked.dayWithoutTime : LocalDayOf(m_picked.SelectedTime);
    // Re-selecting the selected day would only report a needless selection change.
    if (day && *day != m_calendar.SelectedDay())
        m_calendar.SelectDay(*day);
}

void DateSelection::ReadForm()
{
    const CalendarDay day = m_calendar.SelectedDay();
    if (const auto midnight = LocalMidnight(day)) {
        m_picked.SelectedTime = *midnight;
        m_picked.dayWithoutTime.reset();
    } else {
        m_picked.dayWithoutTime = day;
    }
}

void DateSelection::Capture()
{
    // The calendar reports no time of day, so ReadForm already yields local midnight.
    ReadForm();
    WriteForm();
}
