// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/qtmonthcalendar.h"

#include <QCalendarWidget>
#include <QSignalBlocker>

QtMonthCalendar::QtMonthCalendar(QCalendarWidget &calendar) : m_calendar(calendar)
{
    // Qt's own span starts in the year 100, whose dates would sort wrongly as text. Setting the
    // span up is not a selection by the user, so it reports none.
    const QSignalBlocker quiet(&m_calendar);
    m_calendar.setSelectionMode(QCalendarWidget::SingleSelection);
    m_calendar.setDateRange(earliestDay, latestDay);
}

CalendarDay QtMonthCalendar::SelectedDay() const
{
    const QDate day = m_calendar.selectedDate();
    return {day.year(), day.month(), day.day()};
}

void QtMonthCalendar::SelectDay(const CalendarDay &day)
{
    // The widget ignores an impossible day and moves one outside its span to the nearest end.
    m_calendar.setSelectedDate(QDate(day.year, day.month, day.day));
}
