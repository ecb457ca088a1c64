// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"
#include "resources/dialogtemplate.h"
#include "ui/commandtable.h"
#include "ui/formexchange.h"
#include "ui/qt/dialogcontrols.h"
#include "ui/qt/dialogunits.h"
#include "ui/qt/formbindings.h"

#include <QDialog>

#include <cstdint>

class DialogSystemMenu;
class QMenu;

// A modal dialog built from a dialog template: one widget per control, placed in dialog units,
// in tab order, with the template's default button. Subclasses bind fields to controls for form
// exchange and dispatch events through a command table (see ui/commandtable.h).
//
// Life of a dialog: the first show centres it on its owner (or on the screen), runs
// OnInitDialog and gives the focus to the first tab stop; ending it (OK, cancel, Escape, the
// close box) dispatches CommandEvent::Destroy while the controls still exist. A dialog runs
// once.
class TemplateDialog : public QDialog, public FormExchange
{
    Q_OBJECT

public:
    // Results of ending the dialog.
    static constexpr int ResultOk = 1;
    static constexpr int ResultCancel = 2;
    // The system menu's standard Close item.
    static constexpr int SysCommandClose = 0xF060;

    explicit TemplateDialog(int templateId, QWidget *parent = nullptr);
    ~TemplateDialog() override;

    // The control with this ID, nullptr when there is none.
    QWidget *Control(int id) const;
    template <class Widget> Widget *ControlAs(int id) const
    {
        return qobject_cast<Widget *>(Control(id));
    }
    const DialogTemplate &Template() const { return m_template; }

    // Form exchange over the bindings, in the order they were declared.
    void ReadForm() override;
    void WriteForm() override;

    // The system menu: a context menu of the dialog's background (right mouse button,
    // Shift+F10, Menu key) holding the standard Close item.
    QMenu *SystemMenu() const;
    void AppendSystemMenuSeparator();
    void AppendSystemMenuItem(const Text &text, int command);

    void setVisible(bool visible) override;
    void done(int result) override;
    // Escape and the close box end the dialog with ResultCancel, without ReadForm.
    void reject() override;

protected:
    // A text field shown in an edit box. For a multi-line box the field holds CR LF where the
    // box shows a line break. When the box still shows what WriteForm put there, ReadForm gives
    // back the very bytes that were written, even those the display cannot show.
    void BindText(int id, Text &field);
    // An integer shown in decimal; text that is not a number leaves the field unchanged.
    void BindInt(int id, std::int32_t &field);

    // Performs WriteForm. Returning true gives the focus to the first tab stop.
    virtual bool OnInitDialog();
    // Runs the handler for `command`; false when the dialog has none, and the default handling
    // then applies (OK and cancel buttons, the system menu's Close).
    virtual bool DispatchCommand(const Command &command);

    // ReadForm, then end with ResultOk.
    void OnOK();
    void OnCancel();
    void DefaultSysCommand(int command);

    void contextMenuEvent(QContextMenuEvent *event) override;
    // Shift+F10 asks the focused control for its context menu, as the Menu key does.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void CentreOnOwner();
    void FocusFirstTabStop();
    void Dispatch(const Command &command);

    const DialogTemplate &m_template;
    DialogBaseUnits m_base{};
    DialogControls m_controls;
    FormBindings m_form;
    DialogSystemMenu *m_systemMenu = nullptr;
    bool m_initialised = false;
    bool m_destroyed = false;
};
