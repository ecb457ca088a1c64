// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMenu>

#include <functional>

class QContextMenuEvent;
class QKeyEvent;

// A dialog's system menu: a context menu of the dialog's background (right mouse button,
// Shift+F10, Menu key). Each item chosen is passed on as its command.
class DialogSystemMenu : public QMenu
{
public:
    DialogSystemMenu(QWidget *dialog, std::function<void(int command)> onCommand);

    void AppendCommand(const QString &text, int command);
    // Pops up for a context menu request that reached the dialog, unless it is a right click
    // on a control with no menu of its own: the menu belongs to the background and the labels
    // only. Such a click is ignored.
    void PopUpFor(QContextMenuEvent *event);

private:
    QWidget *m_dialog;
    std::function<void(int command)> m_onCommand;
};

// Shift+F10 asks the focused control of `dialog` for its context menu, as the Menu key does;
// the request goes up to the dialog when the control does not take it. False, and nothing
// done, for any other key.
bool RequestContextMenu(QWidget *dialog, const QKeyEvent *event);
