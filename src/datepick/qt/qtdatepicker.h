#pragma once

#include "ui/datepicker.h"

class QWidget;

// Runs a new DateSelectDialog, owned by `owner`, for every Run.
class QtDatePicker : public DatePicker
{
public:
    explicit QtDatePicker(QWidget *owner) : m_owner(owner) {}

    PickedDate Run(const PickedDate &start) override;

private:
    QWidget *m_owner;
};
