// SPDX-License-Identifier: GPL-3.0-or-later
#include "datepick/qt/qtdatepicker.h"

#include "datepick/qt/dateselectdialog.h"

PickedDate QtDatePicker::Run(const PickedDate &start)
{
    DateSelectDialog dialog(start, m_owner);
    dialog.exec(); // the result does not matter: every way of ending captures the day
    return dialog.Picked();
}
