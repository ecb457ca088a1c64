// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Driving the real main dialog as a user does, for the parts of the benchmark that time its
// commands: the dialog with the benchmark's collaborators, events processed until idle, mouse
// clicks, and the wait for the journal on disk.

#include "benchsupport.h"

#include "app/journaldialog.h"
#include "datepick/qt/qtdatepicker.h"

#include <QPoint>

class QWidget;

// Answers every box without showing it, a question with No. Each box that tells of something is
// counted and named on standard error: during a measurement it means that something failed.
class CountingBoxes : public MessageBoxes
{
public:
    int shown = 0;
    int questions = 0;
    int choiceAnswer = AnswerNo; // the answer to a choice between two buttons
    int DialogBox(const Text &text, const Text &caption, BoxType type) override;
    int AppBox(const Text &text, BoxType type) override;
    int ChoiceBox(const Text &text, const Text &caption, const Text &accept,
                  const Text &decline) override;

private:
    int Answer(const Text &text, BoxType type);
};

// Opens nothing, as if the desktop had.
class NoShell : public Shell
{
public:
    bool Open(const Text &) override { return true; }
};

// The real main dialog with the benchmark's boxes and shell and the real Date Selection dialog.
// Shown, it loads the journal of the working folder; `backgroundSave` false: it writes the
// journal at close only.
struct BenchDialog
{
    CountingBoxes boxes;
    NoShell shell;
    QtDatePicker datePicker;
    JournalDialog dialog;

    explicit BenchDialog(bool backgroundSave = true);
};

// Lets the window handle everything queued: layout, painting, timers due.
void ProcessEvents();
// A left click at `at` in `widget`, as the mouse gives it.
void Click(QWidget *widget, QPoint at);
// A click on the heading of `column` of the dialog's list: a sort by that column.
void ClickHeading(JournalDialog &dialog, int column);
// A click on `row` of the dialog's list, scrolled to the top first, in its Date column: the
// others may be wider than the list.
void ClickRow(JournalDialog &dialog, int row);
// Until the journal on disk holds the list (or `limit` seconds have passed); the seconds since
// `start`, or -1 when it did not get there.
double WaitUntilSaved(JournalDialog &dialog, Clock::time_point start, double limit);
