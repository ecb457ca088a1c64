#include "benchdialog.h"

#include "app/journaldialog.h"
#include "ui/qt/qtlistview.h"

#include <QApplication>
#include <QMouseEvent>

#include <thread>

void ProcessEvents()
{
    for (int pass = 0; pass < 2; ++pass)
        QCoreApplication::processEvents();
}

void Click(QWidget *widget, QPoint at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

void ClickRow(JournalDialog &dialog, int row)
{
    QtListView &list = dialog.EntryListView();
    list.scrollToTop();
    ProcessEvents();
    Click(list.viewport(), list.visualRect(list.model()->index(row, 0)).center());
}

double WaitUntilSaved(JournalDialog &dialog, Clock::time_point start, double limit)
{
    JournalFile &journal = dialog.Journal();
    while (journal.ChangedSinceLastSave() || journal.BackgroundSaveRunning()) {
        if (SecondsSince(start) > limit)
            return -1;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return SecondsSince(start);
}
