// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/datepicker.h"

class QWidget;

// Runs a new DateSelectDialog, owned by the owner window, for every Run.
class QtDatePicker : public DatePicker
{
public:
    explicit QtDatePicker(QWidget *owner = nullptr) : m_owner(owner) {}

    // The window that owns the dialog from the next Run on.
    void SetOwner(QWidget *owner) { m_owner = owner; }

    PickedDate Run(const PickedDate &start) override;

private:
    QWidget *m_owner;
};
