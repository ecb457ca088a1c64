#include "app/journalapp.h"

#include "app/journaldialog.h"
#include "resources/resourceids.h"
#include "resources/resources.h"
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
    JournalDialog dialog;
    QtMessageBoxes::SetMainWindow(&dialog);
    dialog.exec(); // the result is not used
    QtMessageBoxes::SetMainWindow(nullptr);
    return true;
}
