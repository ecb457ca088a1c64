// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/pickeddate.h"

// Runs the Date Selection dialog modally. The dialog opens on `start` (the day of
// start.dayWithoutTime when set, otherwise the local day of start.SelectedTime) and returns
// what it held when it was destroyed, however it was closed (Return, Escape or the close
// box). A new dialog is made for every run.
class DatePicker
{
public:
    virtual ~DatePicker() = default;
    virtual PickedDate Run(const PickedDate &start) = 0;
};
