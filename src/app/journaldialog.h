// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "entries/entrycommands.h"
#include "entries/entryform.h"
#include "entries/entrylist.h"
#include "find/qt/findwindow.h"
#include "journal/journalfile.h"
#include "journal/journalmerge.h"
#include "report/report.h"
#include "ui/commandtable.h"
#include "ui/datepicker.h"
#include "ui/messageboxes.h"
#include "ui/qt/templatedialog.h"
#include "ui/shell.h"

#include <QIcon>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QtListView;

// The main dialog: the entry form, the entry list and the buttons that work on them.
// To add a command: declare the handler below and add its line to commandTable in the .cpp.
//
// Every command that changes the list (Add, Update, Remove, a column sort) has the journal
// written within a second, on the journal's own thread: the first change starts a short timer,
// later ones before it fires ride along with it, so that a burst of commands costs one save.
// Each of these commands is one step of the entries' history, which Undo and Redo (first in the
// window menu; Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y outside the text boxes) take back and do again,
// saved like the command itself.
class JournalDialog : public TemplateDialog
{
    Q_OBJECT

public:
    // What the dialog works with besides its own controls. The program passes the desktop's
    // (JournalApp builds them); tests and the benchmark pass their own.
    struct Collaborators
    {
        MessageBoxes &boxes;
        Shell &shell;
        DatePicker &datePicker;
        // The time the Date command opens the calendar on.
        std::function<std::chrono::system_clock::time_point()> clock = [] {
            return std::chrono::system_clock::now();
        };
        // The folder Help looks for its page from: the running program's.
        QString programFolder{};
        // The journal's lock, which the saves keep on the journal file; none: no lock.
        JournalLock *lock = nullptr;
        // How long after the first change of a burst its save starts; none: the journal is
        // written at close only.
        std::optional<std::chrono::milliseconds> saveDelay = std::chrono::milliseconds(100);
    };

    explicit JournalDialog(Collaborators collaborators);

    EntryList &Entries() { return m_entryList; }
    EntryForm &Form() { return m_form; }
    QtListView &EntryListView() { return m_entryListView; }
    JournalFile &Journal() { return m_journal; }
    // Offers, in one box, to merge the copies beside the journal that have not been offered in
    // this run (journal/journalmerge.h); done at start and after each save.
    void OfferMerge();

protected:
    bool OnInitDialog() override;
    bool DispatchCommand(const Command &command) override;

private:
    void OnSysCommand(int command);
    void OnAdd();
    void OnRemove();
    void OnUpdate();
    void OnClear();
    void OnHelp();
    void OnDate();
    void OnDestroy();
    void OnListClick();
    void OnColumnClick(int column);
    void OnReport();
    void OnUndo();
    void OnRedo();
    void AddUndoItems();
    void UpdateUndoItems();
    void AfterHistoryStep();

    void LoadJournal();
    void SaveJournal();
    void OnListChanged();
    void OnSaveDue();
    void OnBackgroundSaveDone();
    void MoveMergedCopies();

    static const CommandEntry<JournalDialog> commandTable[];

    const Collaborators m_collaborators;
    QtListView &m_entryListView;
    EntryForm m_form;
    EntryList m_entryList;
    EntryCommands m_commands{m_entryList, m_collaborators.boxes};
    JournalFile m_journal;
    Report m_report{m_entryList, m_collaborators.boxes, m_collaborators.shell};
    FindWindow m_find{this, SystemMenu(), m_entryList};
    QIcon m_icon;
    QAction *m_undoItem = nullptr; // owned by the window menu
    QAction *m_redoItem = nullptr;
    QTimer m_saveTimer;
    bool m_saveWaiting = false; // the timer fired while the previous save was still writing
    bool m_closed = false;      // the save at close has begun: no more background saves
    MergeOffers m_mergeOffers;
    bool m_offeringMerge = false;
    std::vector<std::string> m_mergedCopies; // to move once the journal holds the merge
    std::string m_mergeJournal;              // the journal's real path, whose versions they join
};
