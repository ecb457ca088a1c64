// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/pickeddate.h"
#include "common/text.h"

#include <optional>

// The date text of a day: the year in as many digits as it has, "-", the month and "-", the
// day, both with two digits (2006-03-05). Text order of such dates is chronological order
// for years 1000 to 9999.
Text DateText(const CalendarDay &day);

// The date text of what the Date Selection dialog picked: the day without a time value when
// there is one, otherwise the local day of SelectedTime. nullopt only for an invalid
// SelectedTime, which is never converted.
std::optional<Text> DateText(const PickedDate &picked);
