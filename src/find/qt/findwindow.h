// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "entries/entrylist.h"
#include "find/entrysearch.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

// The Find window: a small modeless window beside its owner, the main dialog, that finds
// entries in the owner's list (see FindEntry). Ctrl+F and "Find..." in the owner's window menu
// open it; F3 and Shift+F3 find the next and the previous entry from either window, and open it
// while it has no text yet. Return presses Find Next; Escape and the close box only hide it, so
// that it keeps its text and its place while the program runs.
class FindWindow : public QDialog
{
    Q_OBJECT

public:
    FindWindow(QWidget *owner, QMenu *windowMenu, EntryList &entries);

    // Shows the window, or raises it, with its text selected.
    void ShowFind();
    void Find(FindDirection direction);

private:
    void LayOutControls();
    void ConnectControls();
    void AddShortcuts(QWidget *window);
    void PlaceBesideOwner();

    EntryList &m_entries;
    QLineEdit *m_text;
    QCheckBox *m_matchCase;
    QPushButton *m_findNext;
    QPushButton *m_findPrevious;
    QLabel *m_outcome;
    bool m_placed = false;
};
