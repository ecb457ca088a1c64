#include "app/journaldialog.h"

#include "app/aboutdialog.h"
#include "app/helppage.h"
#include "datepick/datecommand.h"
#include "entries/columnsort.h"
#include "resources/resourceids.h"
#include "resources/resources.h"
#include "ui/qt/appicon.h"
#include "ui/qt/qtlistview.h"

#include <utility>

const CommandEntry<JournalDialog> JournalDialog::commandTable[] = {
    SysCommand(&JournalDialog::OnSysCommand),
    ButtonClicked(IdAdd, &JournalDialog::OnAdd, Wrapped),
    ButtonClicked(IdRemove, &JournalDialog::OnRemove, Wrapped),
    ButtonClicked(IdUpdate, &JournalDialog::OnUpdate, Wrapped),
    ButtonClicked(IdClear, &JournalDialog::OnClear),
    ButtonClicked(IdHelpButton, &JournalDialog::OnHelp),
    ButtonClicked(IdDateButton, &JournalDialog::OnDate), // reads and writes the form itself
    Destroyed(&JournalDialog::OnDestroy),
    ListClicked(IdEntryList, &JournalDialog::OnListClick),
    ColumnClicked(IdEntryList, &JournalDialog::OnColumnClick),
    ButtonClicked(IdReport, &JournalDialog::OnReport, Wrapped),
};

JournalDialog::JournalDialog(Collaborators collaborators)
    : TemplateDialog(IdMainDialog), m_collaborators(std::move(collaborators)),
      m_entryListView(*ControlAs<QtListView>(IdEntryList)),
      m_entryList(m_entryListView, m_form, *this),
      m_journal(m_entryList, m_collaborators.boxes, m_collaborators.lock),
      m_icon(LoadAppIcon(IdAppIcon))
{
    BindText(IdDate, m_form.Date);
    BindText(IdTitle, m_form.Title);
    BindText(IdEntry, m_form.Entry);
    BindInt(IdEntryCount, m_form.EntryCount);
    BindText(IdImagePath, m_form.ImagePath);
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(m_collaborators.saveDelay.value_or(std::chrono::milliseconds(0)));
    connect(&m_saveTimer, &QTimer::timeout, this, &JournalDialog::OnSaveDue);
}

bool JournalDialog::DispatchCommand(const Command &command)
{
    return DispatchFromTable(*this, commandTable, command);
}

bool JournalDialog::OnInitDialog()
{
    TemplateDialog::OnInitDialog();

    const Text aboutItem = LoadResourceString(IdAboutMenuString);
    if (SystemMenu() && !aboutItem.empty()) {
        AppendSystemMenuSeparator();
        AppendSystemMenuItem(aboutItem, IdSysCommandAbout);
    }

    setWindowIcon(m_icon);

    m_entryList.SetupColumns();
    LoadJournal();
    // Said once the window is there, so that the box stands over the list it explains.
    if (m_journal.JournalUnreadable() || m_journal.JournalPartlyLoaded()) {
        QTimer::singleShot(0, this, [this] {
            if (!isVisible() || m_closed)
                return;
            if (m_journal.JournalUnreadable())
                m_journal.AnnounceUnreadableJournal();
            else
                m_journal.AnnouncePartlyLoadedJournal();
        });
    }
    return true; // the focus goes to the first tab stop, Add
}

void JournalDialog::OnSysCommand(int command)
{
    if ((command & ~0xF) == IdSysCommandAbout) {
        AboutDialog about(this);
        about.exec();
    } else {
        DefaultSysCommand(command);
    }
}

void JournalDialog::OnAdd()
{
    m_commands.OnAdd();
    OnListChanged();
}

void JournalDialog::OnRemove()
{
    m_commands.OnRemove();
    OnListChanged();
}

void JournalDialog::OnUpdate()
{
    m_commands.OnUpdate();
    OnListChanged();
}

void JournalDialog::OnClear()
{
    m_entryList.OnClear();
}

void JournalDialog::OnHelp()
{
    ReadForm();
    OpenOrSayWhyNot(m_collaborators.shell, m_collaborators.boxes,
                    HelpPageFor(m_collaborators.programFolder));
    WriteForm();
}

void JournalDialog::OnDate()
{
    PickDateIntoForm(m_entryList, m_collaborators.datePicker, m_collaborators.clock());
}

void JournalDialog::OnDestroy()
{
    m_closed = true;
    m_saveTimer.stop();
    SaveJournal(); // finishes a background save still writing first
}

void JournalDialog::OnListClick()
{
    m_entryList.OnListClick();
}

void JournalDialog::OnColumnClick(int column)
{
    SortByColumn(m_entryList, column);
    OnListChanged();
}

void JournalDialog::OnReport()
{
    m_report.OnReport();
}

void JournalDialog::LoadJournal()
{
    m_journal.LoadJournal();
}

void JournalDialog::SaveJournal()
{
    m_journal.SaveJournal();
}

// Every command that may have changed the rows lands here, also when it changed nothing in the
// end (a refused Add): one more save of the same rows is harmless.
void JournalDialog::OnListChanged()
{
    m_journal.NoteChange();
    if (m_collaborators.saveDelay && !m_closed && !m_saveTimer.isActive())
        m_saveTimer.start(); // not restarted by later changes: a burst still saves in time
}

void JournalDialog::OnSaveDue()
{
    if (m_closed)
        return;
    if (m_journal.BackgroundSaveRunning()) {
        m_saveWaiting = true; // started as soon as the running one is done
        return;
    }
    // Called on the save's thread: the outcome is taken on this one, from the event loop. The
    // dialog outlives the save (closing and destroying it wait for the save), so the queued
    // call always finds it.
    m_journal.StartBackgroundSave([this] {
        QMetaObject::invokeMethod(this, &JournalDialog::OnBackgroundSaveDone, Qt::QueuedConnection);
    });
}

void JournalDialog::OnBackgroundSaveDone()
{
    m_journal.FinishBackgroundSave(); // nothing left to do when the close took it already
    if (m_saveWaiting) {
        m_saveWaiting = false;
        OnSaveDue();
    }
}
