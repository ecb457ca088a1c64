// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "datepick/dateselection.h"
#include "ui/qt/qtmonthcalendar.h"
#include "ui/qt/templatedialog.h"

// The Date Selection dialog: a month calendar and the Return button. It opens on the day of
// `start`, keeps SelectedTime in step with the calendar's selection, and holds in Picked() the
// day selected when it ended, whether by Return, Enter, Escape or the close box.
class DateSelectDialog : public TemplateDialog
{
    Q_OBJECT

public:
    DateSelectDialog(const PickedDate &start, QWidget *owner);

    const PickedDate &Picked() const { return m_selection.Picked(); }

    // The calendar's selection to and from SelectedTime.
    void ReadForm() override;
    void WriteForm() override;

protected:
    bool OnInitDialog() override;
    bool DispatchCommand(const Command &command) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void OnSelChange();
    void OnDestroy();

    static const CommandEntry<DateSelectDialog> commandTable[];

    QtMonthCalendar m_calendar;
    DateSelection m_selection;
};
