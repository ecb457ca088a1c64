#pragma once

// Driving the real main dialog as a user does, for the parts of the benchmark that time its
// commands: events processed until idle, mouse clicks, and the wait for the journal on disk.

#include "benchsupport.h"

#include <QPoint>

class JournalDialog;
class QWidget;

// Lets the window handle everything queued: layout, painting, timers due.
void ProcessEvents();
// A left click at `at` in `widget`, as the mouse gives it.
void Click(QWidget *widget, QPoint at);
// A click on `row` of the dialog's list, scrolled to the top first, in its Date column: the
// others may be wider than the list.
void ClickRow(JournalDialog &dialog, int row);
// Until the journal on disk holds the list (or `limit` seconds have passed); the seconds since
// `start`, or -1 when it did not get there.
double WaitUntilSaved(JournalDialog &dialog, Clock::time_point start, double limit);
