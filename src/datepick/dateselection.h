// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/pickeddate.h"
#include "ui/monthcalendar.h"

// The Date Selection dialog's logic: its SelectedTime, the form exchange between that and
// the calendar's selection, and the capture of the selected day. The dialog calls WriteForm
// when it initialises, ReadForm when Return is pressed, OnSelChange when the calendar's
// selection changes and OnDestroy when it is destroyed, then hands Picked() back.
class DateSelection
{
public:
    DateSelection(MonthCalendar &calendar, const PickedDate &start);

    // Selects the local day of SelectedTime (or the day without a time value). When
    // SelectedTime has no local day the calendar keeps its selection.
    void WriteForm();
    // SelectedTime := the selected day at the time of day the calendar reports; the calendar
    // reports none, so this is the day's local midnight. A day whose local midnight has no
    // time value is kept as the day itself.
    void ReadForm();
    void OnSelChange() { Capture(); }
    void OnDestroy() { Capture(); }

    const PickedDate &Picked() const { return m_picked; }

private:
    // ReadForm with the time of day set to zero, then WriteForm.
    void Capture();

    MonthCalendar &m_calendar;
    PickedDate m_picked;
};
