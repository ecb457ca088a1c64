// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "entries/entrylist.h"
#include "ui/datepicker.h"

#include <chrono>

// The Date button: runs the Date Selection dialog on the day of `now` and puts the chosen day's
// date text into the form's Date. Title, Entry and ImagePath keep whatever the user typed.
void PickDateIntoForm(EntryList &entries, DatePicker &picker,
                      std::chrono::system_clock::time_point now);

// What the dialog starts on for `now`: its time value, or, past 2038-01-19 03:14:07 UTC or
// before 1970, the local day of `now` itself.
PickedDate PickedDateAt(std::chrono::system_clock::time_point now);
