// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "session/sockets.h"

#include <functional>

class JournalLock;

// The application: checks that sockets work and that no other Lumenlog has the journal open, then
// runs the main dialog until it closes, and makes sure that it closes with a save when the process
// is asked to stop or the desktop session ends.
class JournalApp
{
public:
    explicit JournalApp(std::function<bool()> startSockets = [] { return StartSockets(); });

    // False when the program could not start (the user has been told why).
    bool Run();
    // After Run: false when the journal could not be saved at the end (the reason has been
    // written on standard error), so that the exit status can say so.
    bool JournalSaved() const { return m_journalSaved; }

private:
    void RunMainDialog(JournalLock &lock);

    std::function<bool()> m_startSockets;
    bool m_journalSaved = true;
};

// The box shown by a second start on a journal that is already open (through this folder or
// any other name of the same file).
inline constexpr const char *folderInUseText =
    "The journal in this folder is already open in another Lumenlog window.";

// The box shown when the window appears in a folder where the journal cannot be saved.
inline constexpr const char *unwritableFolderCaption = "Journal Cannot Be Saved";
