// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/monthcalendar.h"

#include <QDate>

class QCalendarWidget;

// MonthCalendar over a QCalendarWidget with single-day selection. The widget offers the days
// from 1000-01-01 to 9999-12-31: every date text it can give has a four-digit year, so that
// text order stays chronological. A day outside that span is selected as the nearest end.
class QtMonthCalendar : public MonthCalendar
{
public:
    static inline const QDate earliestDay{1000, 1, 1};
    static inline const QDate latestDay{9999, 12, 31};

    explicit QtMonthCalendar(QCalendarWidget &calendar);

    CalendarDay SelectedDay() const override;
    void SelectDay(const CalendarDay &day) override;

private:
    QCalendarWidget &m_calendar;
};
