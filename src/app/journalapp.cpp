#include "app/journalapp.h"

#include "app/journaldialog.h"
#include "app/sessionend.h"
#include "resources/resourceids.h"
#include "resources/resources.h"
#include "session/folderlock.h"
#include "ui/qtmessageboxes.h"

#include <utility>

JournalApp::JournalApp(std::function<bool()> startSockets) : m_startSockets(std::move(startSockets))
{
}

bool JournalApp::Run()
{
    if (!m_startSockets()) {
        QtMessageBoxes(nullptr).AppBox(LoadResourceString(IdSocketsFailedString), BoxOk);
        return false;
    }
    // Two windows on one journal would each write their own rows at exit, and the last to
    // close would silently throw away the other's work. The lock is held until the dialog has
    // saved; a folder that cannot be locked at all is used without one.
    FolderLock folderLock;
    if (folderLock.Acquire() == FolderLock::Result::HeldElsewhere) {
        QtMessageBoxes(nullptr).AppBox(folderInUseText, BoxOk);
        return false;
    }
    RunMainDialog();
    return true;
}

void JournalApp::RunMainDialog()
{
    JournalDialog dialog;
    QtMessageBoxes::SetMainWindow(&dialog);
    {
        SessionEnd sessionEnd(dialog);
        dialog.exec(); // the result is not used
        // exec() also returns when the whole application is told to quit, without the dialog
        // having ended: end it now, so that the journal is saved all the same.
        if (dialog.isVisible())
            dialog.reject();
    }
    QtMessageBoxes::SetMainWindow(nullptr);
}
