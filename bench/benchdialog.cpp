// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchdialog.h"

#include "app/journaldialog.h"
#include "ui/qt/qtlistview.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>

#include <cstdio>
#include <thread>

namespace {
JournalDialog::Collaborators BenchCollaborators(BenchDialog &bench, bool backgroundSave)
{
    JournalDialog::Collaborators collaborators{
        .boxes = bench.boxes, .shell = bench.shell, .datePicker = bench.datePicker};
    if (!backgroundSave)
        collaborators.saveDelay.reset();
    return collaborators;
}
} // namespace

int CountingBoxes::DialogBox(const Text &text, const Text &, BoxType type)
{
    return Answer(text, type);
}

int CountingBoxes::AppBox(const Text &text, BoxType type)
{
    return Answer(text, type);
}

int CountingBoxes::ChoiceBox(const Text &, const Text &, const Text &, const Text &)
{
    ++questions;
    return choiceAnswer;
}

int CountingBoxes::Answer(const Text &text, BoxType type)
{
    if (type == BoxYesNo) {
        ++questions;
        return AnswerNo;
    }
    ++shown;
    std::fprintf(stderr, "unexpected message box: %s\n", text.c_str());
    return AnswerOk;
}

BenchDialog::BenchDialog(bool backgroundSave) : dialog(BenchCollaborators(*this, backgroundSave))
{
    datePicker.SetOwner(&dialog);
}

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

void ClickHeading(JournalDialog &dialog, int column)
{
    QHeaderView *header = dialog.EntryListView().header();
    Click(header->viewport(),
          QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
}
