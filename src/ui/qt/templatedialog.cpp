// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/templatedialog.h"

#include "resources/resourceids.h"
#include "resources/resources.h"
#include "ui/qt/dialogsystemmenu.h"
#include "ui/qt/displaytext.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

namespace {
const DialogTemplate &TemplateOrDie(int id)
{
    const DialogTemplate *found = FindDialogTemplate(id);
    if (!found)
        qFatal("No dialog template %d", id);
    return *found;
}
} // namespace

TemplateDialog::TemplateDialog(int templateId, QWidget *parent)
    : QDialog(parent), m_template(TemplateOrDie(templateId))
{
    // A dialog without an owner is a window of its own, with its own taskbar entry; an owned
    // one stays with its owner. Neither can be minimised or maximised.
    setWindowFlags((parent ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(ToDisplay(m_template.caption));
    setFont(DialogFont(m_template));
    m_base = BaseUnitsOf(font());
    setFixedSize(MapDialogSize(m_template.width, m_template.height, m_base));

    m_systemMenu = new DialogSystemMenu(this, [this](int command) {
        Dispatch({CommandEvent::SysCommand, DialogItself, command});
    });
    m_systemMenu->AppendCommand(tr("&Close"), SysCommandClose);

    m_controls = BuildControls(m_template, m_base, this,
                               [this](const Command &command) { Dispatch(command); });
}

TemplateDialog::~TemplateDialog() = default;

QWidget *TemplateDialog::Control(int id) const
{
    return FindControl(m_controls, id);
}

QMenu *TemplateDialog::SystemMenu() const
{
    return m_systemMenu;
}

void TemplateDialog::BindText(int id, Text &field)
{
    m_form.BindText(Control(id), field);
}

void TemplateDialog::BindInt(int id, std::int32_t &field)
{
    m_form.BindInt(Control(id), field);
}

void TemplateDialog::ReadForm()
{
    m_form.Read();
}

void TemplateDialog::WriteForm()
{
    m_form.Write();
}

bool TemplateDialog::OnInitDialog()
{
    WriteForm();
    return true;
}

bool TemplateDialog::DispatchCommand(const Command & /*command*/)
{
    return false;
}

void TemplateDialog::Dispatch(const Command &command)
{
    if (DispatchCommand(command))
        return;
    if (command.event == CommandEvent::ButtonClick && command.control == IdOk)
        OnOK();
    else if (command.event == CommandEvent::ButtonClick && command.control == IdCancel)
        OnCancel();
    else if (command.event == CommandEvent::SysCommand)
        DefaultSysCommand(command.argument);
}

void TemplateDialog::OnOK()
{
    ReadForm();
    done(ResultOk);
}

void TemplateDialog::OnCancel()
{
    done(ResultCancel);
}

void TemplateDialog::DefaultSysCommand(int command)
{
    if ((command & ~0xF) == SysCommandClose)
        close();
}

void TemplateDialog::reject()
{
    OnCancel();
}

void TemplateDialog::done(int result)
{
    if (m_initialised && !m_destroyed) {
        m_destroyed = true;
        Dispatch({CommandEvent::Destroy});
    }
    QDialog::done(result);
}

void TemplateDialog::setVisible(bool visible)
{
    const bool opening = visible && !m_initialised;
    if (opening) {
        m_initialised = true;
        CentreOnOwner();
        if (OnInitDialog())
            FocusFirstTabStop();
    }
    QDialog::setVisible(visible);
    if (opening)
        CentreOnOwner(); // again, now that the window frame's size is known
}

void TemplateDialog::CentreOnOwner()
{
    QRect owner;
    QSize frame = frameGeometry().size();
    if (QWidget *parent = parentWidget()) {
        const QWidget *ownerWindow = parent->window();
        owner = ownerWindow->frameGeometry();
        // The window manager frames a new window only after it is shown; until then its frame
        // is taken to be its owner's, so that the title bar does not push it off centre.
        if (frame == size())
            frame += owner.size() - ownerWindow->size();
    } else if (QScreen *screen = QGuiApplication::primaryScreen()) {
        owner = screen->availableGeometry();
    }
    QRect placed(QPoint(0, 0), frame);
    placed.moveCenter(owner.center());
    if (placed.topLeft() != pos())
        move(placed.topLeft());
}

void TemplateDialog::FocusFirstTabStop()
{
    for (const auto &[id, widget] : m_controls) {
        if (widget->focusPolicy() & Qt::TabFocus) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void TemplateDialog::AppendSystemMenuSeparator()
{
    m_systemMenu->addSeparator();
}

void TemplateDialog::AppendSystemMenuItem(const Text &text, int command)
{
    m_systemMenu->AppendCommand(ToDisplay(text), command);
}

void TemplateDialog::contextMenuEvent(QContextMenuEvent *event)
{
    m_systemMenu->PopUpFor(event);
}

void TemplateDialog::keyPressEvent(QKeyEvent *event)
{
    if (RequestContextMenu(this, event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
