#include "app/journaldialog.h"

#include "app/aboutdialog.h"
#include "app/helppage.h"
#include "datepick/datecommand.h"
#include "entries/columnsort.h"
#include "resources/resourceids.h"
#include "resources/resources.h"
#include "ui/appicon.h"
#include "ui/qtlistview.h"

#include <QCoreApplication>

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

JournalDialog::JournalDialog(QWidget *parent)
    : TemplateDialog(IdMainDialog, parent), m_entryListView(*ControlAs<QtListView>(IdEntryList)),
      m_entryList(m_entryListView, m_form, *this), m_icon(LoadAppIcon(IdAppIcon))
{
    BindText(IdDate, m_form.Date);
    BindText(IdTitle, m_form.Title);
    BindText(IdEntry, m_form.Entry);
    BindInt(IdEntryCount, m_form.EntryCount);
    BindText(IdImagePath, m_form.ImagePath);
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
}

void JournalDialog::OnRemove()
{
    m_commands.OnRemove();
}

void JournalDialog::OnUpdate()
{
    m_commands.OnUpdate();
}

void JournalDialog::OnClear()
{
    m_entryList.OnClear();
}

void JournalDialog::OnHelp()
{
    ReadForm();
    m_shell.Open(HelpPageFor(programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                     : programFolder));
    WriteForm();
}

void JournalDialog::OnDate()
{
    ::OnDate(m_entryList, m_datePicker, clock ? clock() : std::chrono::system_clock::now());
}

void JournalDialog::OnDestroy()
{
    SaveJournal();
}

void JournalDialog::OnListClick()
{
    m_entryList.OnListClick();
}

void JournalDialog::OnColumnClick(int column)
{
    SortByColumn(m_entryList, column);
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
