// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/journalapp.h"

#include "app/journaldialog.h"
#include "app/sessionend.h"
#include "datepick/qt/qtdatepicker.h"
#include "journal/journallock.h"
#include "journal/safesave.h"
#include "resources/resourceids.h"
#include "resources/resources.h"
#include "ui/qt/qtmessageboxes.h"
#include "ui/qt/qtshell.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstring>
#include <utility>

namespace {
Text UnwritableFolderText(const UnwritableFolder &unwritable)
{
    return "Neither pw.dat nor a new file can be written in the folder " + unwritable.folder +
           " (" + std::strerror(unwritable.error) +
           "), so what you enter in this window cannot be saved.";
}
} // namespace

JournalApp::JournalApp(std::function<bool()> startSockets) : m_startSockets(std::move(startSockets))
{
}

bool JournalApp::Run()
{
    if (!m_startSockets()) {
        QtMessageBoxes().AppBox(LoadResourceString(IdSocketsFailedString), BoxOk);
        return false;
    }
    // Two windows on one journal would each write their own rows, and the last to save would
    // silently throw away the other's work: also when they reach one file through different
    // folders or links. The lock is held until the dialog has saved, and the saves keep it on
    // the journal; a journal that cannot be locked at all is used without one.
    JournalLock journalLock;
    const JournalLock::Result lock = journalLock.Acquire();
    if (lock == JournalLock::Result::HeldElsewhere) {
        QtMessageBoxes().AppBox(folderInUseText, BoxOk);
        return false;
    }
    // A save that was killed left its temporary file behind. Only while the lock is held can
    // no other window's save be writing one.
    if (lock == JournalLock::Result::Locked)
        RemoveLeftoverTemporaryFiles("pw.dat");
    RunMainDialog(journalLock);
    return true;
}

void JournalApp::RunMainDialog(JournalLock &lock)
{
    QtMessageBoxes boxes;
    QtShell shell;
    QtDatePicker datePicker;
    JournalDialog dialog({.boxes = boxes,
                          .shell = shell,
                          .datePicker = datePicker,
                          .programFolder = QCoreApplication::applicationDirPath(),
                          .lock = &lock});
    // The boxes and the Date Selection dialog stand over the main dialog.
    boxes.SetOwner(&dialog);
    datePicker.SetOwner(&dialog);
    // Said once the window is there, as the dialog's own news of the journal is.
    if (const std::optional<UnwritableFolder> unwritable = FindUnwritableFolder()) {
        QTimer::singleShot(0, &dialog, [&dialog, &boxes, text = UnwritableFolderText(*unwritable)] {
            if (dialog.isVisible())
                boxes.DialogBox(text, unwritableFolderCaption, BoxOk);
        });
    }
    {
        SessionEnd sessionEnd(dialog);
        dialog.exec(); // the result is not used
        // exec() also returns when the whole application is told to quit, without the dialog
        // having ended: end it now, so that the journal is saved all the same.
        if (dialog.isVisible())
            dialog.reject();
    }
    m_journalSaved = !dialog.Journal().CloseSaveFailed();
}
