// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/dialogsystemmenu.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>

#include <utility>

DialogSystemMenu::DialogSystemMenu(QWidget *dialog, std::function<void(int command)> onCommand)
    : QMenu(dialog), m_dialog(dialog), m_onCommand(std::move(onCommand))
{
}

void DialogSystemMenu::AppendCommand(const QString &text, int command)
{
    QAction *item = addAction(text);
    connect(item, &QAction::triggered, m_dialog, [this, command] { m_onCommand(command); });
}

void DialogSystemMenu::PopUpFor(QContextMenuEvent *event)
{
    // A right click on a control that has no menu of its own reaches the dialog too.
    if (event->reason() == QContextMenuEvent::Mouse) {
        QWidget *hit = m_dialog->childAt(event->pos());
        if (hit && !qobject_cast<QLabel *>(hit)) {
            event->ignore();
            return;
        }
        popup(event->globalPos());
    } else {
        popup(m_dialog->mapToGlobal(QPoint(0, 0)));
    }
    event->accept();
}

bool RequestContextMenu(QWidget *dialog, const QKeyEvent *event)
{
    // The window system makes a context menu request of the Menu key, but not of Shift+F10,
    // which reaches the dialog when the focused control has no use for it.
    if (event->key() != Qt::Key_F10 || event->modifiers() != Qt::ShiftModifier)
        return false;
    QWidget *target = QApplication::focusWidget();
    if (!target || !dialog->isAncestorOf(target))
        target = dialog;
    const QPoint pos = target->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent request(QContextMenuEvent::Keyboard, pos, target->mapToGlobal(pos),
                              event->modifiers());
    QApplication::sendEvent(target, &request); // goes up to the dialog when not taken
    return true;
}
