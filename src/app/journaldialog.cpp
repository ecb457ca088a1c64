// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/journaldialog.h"

#include "app/aboutdialog.h"
#include "app/helppage.h"
#include "common/textfile.h"
#include "datepick/datecommand.h"
#include "entries/columnsort.h"
#include "resources/resourceids.h"
#include "resources/resources.h"
#include "ui/qt/appicon.h"
#include "ui/qt/displaytext.h"
#include "ui/qt/qtlistview.h"

#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QShortcut>

#include <algorithm>
#include <cstdio>
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
    AddUndoItems();
}

// Undo and Redo head the window menu, and have their keys in the whole window except in a text
// box, where the same keys undo and redo the typing in that box.
void JournalDialog::AddUndoItems()
{
    QMenu *menu = SystemMenu();
    QAction *first = menu->actions().value(0);
    m_undoItem = new QAction(menu);
    m_redoItem = new QAction(menu);
    m_undoItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redoItem->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction *item : {m_undoItem, m_redoItem}) {
        // Shown beside the item only; the window's shortcuts below act on the keys.
        item->setShortcutContext(Qt::WidgetShortcut);
        item->setShortcutVisibleInContextMenu(true);
    }
    menu->insertActions(first, {m_undoItem, m_redoItem});
    menu->insertSeparator(first);
    connect(m_undoItem, &QAction::triggered, this, &JournalDialog::OnUndo);
    connect(m_redoItem, &QAction::triggered, this, &JournalDialog::OnRedo);
    // Kept up to date by every change of the list, and once more whenever the menu opens.
    connect(menu, &QMenu::aboutToShow, this, &JournalDialog::UpdateUndoItems);
    UpdateUndoItems();

    // A read-only box does not take the keys for itself, but they are still not the list's.
    const auto outsideTextBoxes = [this](void (JournalDialog::*command)()) {
        return [this, command] {
            const QWidget *focus = focusWidget();
            if (!qobject_cast<const QLineEdit *>(focus) &&
                !qobject_cast<const QPlainTextEdit *>(focus))
                (this->*command)();
        };
    };
    auto *undoKey = new QShortcut(this);
    undoKey->setKeys(m_undoItem->shortcuts());
    connect(undoKey, &QShortcut::activated, this, outsideTextBoxes(&JournalDialog::OnUndo));
    auto *redoKey = new QShortcut(this);
    redoKey->setKeys(m_redoItem->shortcuts());
    connect(redoKey, &QShortcut::activated, this, outsideTextBoxes(&JournalDialog::OnRedo));
}

void JournalDialog::UpdateUndoItems()
{
    const UndoHistory &history = m_entryList.History();
    m_undoItem->setText(ToDisplay(history.UndoText()));
    m_undoItem->setEnabled(history.CanUndo());
    m_redoItem->setText(ToDisplay(history.RedoText()));
    m_redoItem->setEnabled(history.CanRedo());
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
    // Said once the window is there, so that the box stands over the list it explains; then
    // the copies beside the journal are offered for a merge.
    QTimer::singleShot(0, this, [this] {
        if (!isVisible() || m_closed)
            return;
        if (m_journal.JournalUnreadable())
            m_journal.AnnounceUnreadableJournal();
        else if (m_journal.JournalPartlyLoaded())
            m_journal.AnnouncePartlyLoadedJournal();
        OfferMerge();
    });
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
    MoveMergedCopies();
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

void JournalDialog::OnUndo()
{
    if (m_entryList.History().Undo())
        AfterHistoryStep();
}

void JournalDialog::OnRedo()
{
    if (m_entryList.History().Redo())
        AfterHistoryStep();
}

// The rows changed as by a command: the columns are sized, the entries counted and the journal
// saved as after one. What is typed in the form stays.
void JournalDialog::AfterHistoryStep()
{
    m_entryList.ReadForm();
    m_entryList.AutoSizeColumns();
    m_entryList.RecountEntries();
    OnListChanged();
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
    UpdateUndoItems();
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
    MoveMergedCopies();
    if (m_saveWaiting) {
        m_saveWaiting = false;
        OnSaveDue();
    }
    // The save may have found that another program changed the journal, and kept that version
    // beside it; a sync tool may have left a copy there meanwhile.
    OfferMerge();
}

// One box offers to merge every copy beside the journal that has not been offered in this run.
// A merge changes the rows as one step of the history, which the background save writes.
void JournalDialog::OfferMerge()
{
    // While the journal cannot be read, the list is saved beside it, as such a copy.
    if (m_offeringMerge || m_closed || m_journal.JournalUnreadable())
        return;
    const std::string journal = ResolveFileName("pw.dat");
    const std::vector<CopyBeside> copies = m_mergeOffers.TakeNew(journal);
    if (copies.empty())
        return;
    std::vector<std::string> paths(copies.size());
    std::transform(copies.begin(), copies.end(), paths.begin(),
                   [](const CopyBeside &copy) { return copy.path; });
    const JournalVersions versions = FindJournalVersions(journal);
    CopyMergePlan plan = PlanJournalMerge(m_entryList.List().SnapshotRows(), paths, versions);
    const Text text = MergeOfferText(copies, plan, journal);
    MessageBoxes &boxes = m_collaborators.boxes;
    m_offeringMerge = true; // the box's event loop may finish a save, which looks again
    const bool merge =
        plan.merged.empty()
            ? (boxes.DialogBox(text, mergeOfferCaption, BoxOk), false)
            : boxes.ChoiceBox(text, mergeOfferCaption, "&Merge", "Not &now") == AnswerYes;
    m_offeringMerge = false;
    if (!merge || m_closed)
        return;
    m_entryList.History().ReplaceRows(0, m_entryList.List().RowCount(),
                                      std::move(plan.result.rows));
    m_mergedCopies.insert(m_mergedCopies.end(), plan.merged.begin(), plan.merged.end());
    m_mergeJournal = versions.journalRealPath;
    AfterHistoryStep();
}

// The merged copies go among the journal's versions once the journal holds the merge.
void JournalDialog::MoveMergedCopies()
{
    if (m_mergedCopies.empty() || m_journal.ChangedSinceLastSave())
        return;
    Text unmoved;
    for (const std::string &copy : std::exchange(m_mergedCopies, {})) {
        if (m_mergeJournal.empty() ||
            MoveIntoVersions(copy, m_mergeJournal, VersionsRoot()).result == KeepOutcome::Failed)
            unmoved += (unmoved.empty() ? "" : ", ") + copy;
    }
    if (unmoved.empty())
        return;
    unmoved += " could not be moved to the journal's versions, and stays beside it.";
    if (m_closed)
        std::fprintf(stderr, "lumenlog: %s\n", unmoved.c_str());
    else
        m_collaborators.boxes.DialogBox(unmoved, mergeOfferCaption, BoxOk);
}
