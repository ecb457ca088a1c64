#pragma once

#include "datepick/qt/qtdatepicker.h"
#include "entries/entrycommands.h"
#include "entries/entryform.h"
#include "entries/entrylist.h"
#include "find/qt/findwindow.h"
#include "journal/journalfile.h"
#include "report/report.h"
#include "ui/commandtable.h"
#include "ui/qt/qtmessageboxes.h"
#include "ui/qt/qtshell.h"
#include "ui/qt/templatedialog.h"

#include <QIcon>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>

class QtListView;

// The main dialog: the entry form, the entry list and the buttons that work on them.
// To add a command: declare the handler below and add its line to commandTable in the .cpp.
//
// Every command that changes the list (Add, Update, Remove, a column sort) has the journal
// written within a second, on the journal's own thread: the first change starts a short timer,
// later ones before it fires ride along with it, so that a burst of commands costs one save.
class JournalDialog : public TemplateDialog
{
    Q_OBJECT

public:
    // `lock`, when given, is the journal's lock, which the saves keep on the journal file.
    explicit JournalDialog(QWidget *parent = nullptr, JournalLock *lock = nullptr);

    EntryList &Entries() { return m_entryList; }
    EntryForm &Form() { return m_form; }
    QtListView &EntryListView() { return m_entryListView; }
    MessageBoxes &Boxes() { return m_boxes; }
    Shell &DesktopShell() { return m_shell; }
    JournalFile &Journal() { return m_journal; }

    // Whether changes reach the journal while the dialog runs (the default) or only at close;
    // the benchmark compares the two.
    void SetBackgroundSave(bool on) { m_backgroundSave = on; }
    // How long after the first change of a burst its save starts.
    static constexpr int saveDelayMilliseconds = 100;

    // The time the Date command opens the calendar on: the system clock, or, while `clock` is
    // set, what it returns (for tests).
    static inline std::function<std::chrono::system_clock::time_point()> clock;
    // The folder Help looks for its page from: the running program's, or, while this is set,
    // this one (for tests).
    static inline QString programFolder;

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

    void LoadJournal();
    void SaveJournal();
    void OnListChanged();
    void OnSaveDue();
    void OnBackgroundSaveDone();

    static const CommandEntry<JournalDialog> commandTable[];

    QtListView &m_entryListView;
    EntryForm m_form;
    EntryList m_entryList;
    QtMessageBoxes m_boxes{this};
    QtShell m_shell;
    QtDatePicker m_datePicker{this};
    EntryCommands m_commands{m_entryList, m_boxes};
    JournalFile m_journal;
    Report m_report{m_entryList, m_boxes, m_shell};
    FindWindow m_find{this, SystemMenu(), m_entryList};
    QIcon m_icon;
    QTimer m_saveTimer;
    bool m_backgroundSave = true;
    bool m_saveWaiting = false; // the timer fired while the previous save was still writing
    bool m_closed = false;      // the save at close has begun: no more background saves
};
