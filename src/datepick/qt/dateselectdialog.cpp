// SPDX-License-Identifier: GPL-3.0-or-later
#include "datepick/qt/dateselectdialog.h"

#include "resources/resourceids.h"

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QPushButton>

const CommandEntry<DateSelectDialog> DateSelectDialog::commandTable[] = {
    CalendarSelectionChanged(IdCalendar, &DateSelectDialog::OnSelChange),
    Destroyed(&DateSelectDialog::OnDestroy),
};

namespace {
QCalendarWidget &CalendarOf(const TemplateDialog &dialog)
{
    auto *calendar = dialog.ControlAs<QCalendarWidget>(IdCalendar);
    if (!calendar)
        qFatal("The Date Selection template has no calendar");
    return *calendar;
}
} // namespace

DateSelectDialog::DateSelectDialog(const PickedDate &start, QWidget *owner)
    : TemplateDialog(IdDateSelectDialog, owner), m_calendar(CalendarOf(*this)),
      m_selection(m_calendar, start)
{
    // The calendar's day grid takes Enter for itself; in a dialog Enter presses Return.
    if (auto *days = CalendarOf(*this).findChild<QAbstractItemView *>())
        days->installEventFilter(this);
}

bool DateSelectDialog::DispatchCommand(const Command &command)
{
    return DispatchFromTable(*this, commandTable, command);
}

void DateSelectDialog::ReadForm()
{
    TemplateDialog::ReadForm();
    m_selection.ReadForm();
}

void DateSelectDialog::WriteForm()
{
    TemplateDialog::WriteForm();
    m_selection.WriteForm();
}

bool DateSelectDialog::OnInitDialog()
{
    TemplateDialog::OnInitDialog();
    // The calendar starts with the focus, so the arrow and page keys move the selection at once.
    CalendarOf(*this).setFocus(Qt::OtherFocusReason);
    return false;
}

void DateSelectDialog::OnSelChange()
{
    m_selection.OnSelChange();
}

void DateSelectDialog::OnDestroy()
{
    m_selection.OnDestroy();
}

bool DateSelectDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return TemplateDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return TemplateDialog::eventFilter(watched, event);
    if (auto *returnButton = ControlAs<QPushButton>(IdOk))
        returnButton->click();
    return true;
}
