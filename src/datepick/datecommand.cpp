// SPDX-License-Identifier: GPL-3.0-or-later
#include "datepick/datecommand.h"

#include "datepick/datetext.h"
#include "datepick/timevalue.h"

PickedDate PickedDateAt(std::chrono::system_clock::time_point now)
{
    PickedDate start;
    if (const auto time = TimeValueOf(now))
        start.SelectedTime = *time;
    else
        start.dayWithoutTime = LocalDayOf(now);
    return start;
}

void PickDateIntoForm(EntryList &entries, DatePicker &picker,
                      std::chrono::system_clock::time_point now)
{
    entries.ReadForm();
    const PickedDate picked = picker.Run(PickedDateAt(now));
    // The dialog always picks a day; an invalid time value from it leaves Date as it was.
    if (const auto text = DateText(picked))
        entries.Form().Date = *text;
    entries.WriteForm();
}
