// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <type_traits>

// A dialog's command table: which handler runs for which event from which control. A dialog
// class declares its table as a static array and dispatches through it:
//
//     const CommandEntry<JournalDialog> JournalDialog::commandTable[] = {
//         ButtonClicked(IdClear, &JournalDialog::OnClear),
//         ButtonClicked(IdAdd, &JournalDialog::OnAdd, Wrapped), // ReadForm before, WriteForm after
//         ColumnClicked(IdEntryList, &JournalDialog::OnColumnClick), // handler takes the column
//     };
//     // (after the table's definition, so that its size is known)
//     bool JournalDialog::DispatchCommand(const Command &command)
//     {
//         return DispatchFromTable(*this, commandTable, command);
//     }

enum class CommandEvent {
    ButtonClick,             // a push button was clicked
    SysCommand,              // an item of the system menu was chosen; argument: its command
    ListClick,               // the list view was clicked with the mouse
    ColumnClick,             // a list heading was clicked; argument: the column
    CalendarSelectionChange, // the month calendar's selected day changed
    Destroy,                 // the dialog ends; its controls still exist
};

// Control of the events that come from the dialog itself (system command, destroy).
inline constexpr int DialogItself = 0;

struct Command
{
    CommandEvent event{};
    int control = DialogItself;
    int argument = 0;
};

enum WrapMode { Unwrapped, Wrapped };

template <class Dialog> struct CommandEntry
{
    CommandEvent event{};
    int control = DialogItself;
    void (Dialog::*handler)() = nullptr;                // handlers without an argument
    void (Dialog::*handlerWithArgument)(int) = nullptr; // system command, column click
    WrapMode wrap = Unwrapped;
};

template <class Dialog>
constexpr CommandEntry<Dialog> ButtonClicked(int control, void (Dialog::*handler)(),
                                             WrapMode wrap = Unwrapped)
{
    return {CommandEvent::ButtonClick, control, handler, nullptr, wrap};
}

template <class Dialog> constexpr CommandEntry<Dialog> SysCommand(void (Dialog::*handler)(int))
{
    return {CommandEvent::SysCommand, DialogItself, nullptr, handler, Unwrapped};
}

template <class Dialog>
constexpr CommandEntry<Dialog> ListClicked(int control, void (Dialog::*handler)())
{
    return {CommandEvent::ListClick, control, handler, nullptr, Unwrapped};
}

template <class Dialog>
constexpr CommandEntry<Dialog> ColumnClicked(int control, void (Dialog::*handler)(int))
{
    return {CommandEvent::ColumnClick, control, nullptr, handler, Unwrapped};
}

template <class Dialog>
constexpr CommandEntry<Dialog> CalendarSelectionChanged(int control, void (Dialog::*handler)())
{
    return {CommandEvent::CalendarSelectionChange, control, handler, nullptr, Unwrapped};
}

template <class Dialog> constexpr CommandEntry<Dialog> Destroyed(void (Dialog::*handler)())
{
    return {CommandEvent::Destroy, DialogItself, handler, nullptr, Unwrapped};
}

// Runs the first entry that matches the command's event and control; false when none does.
// A wrapped entry runs the dialog's ReadForm before its handler and WriteForm after it.
template <class Dialog>
bool DispatchFromTable(Dialog &dialog,
                       std::type_identity_t<std::span<const CommandEntry<Dialog>>> table,
                       const Command &command)
{
    for (const CommandEntry<Dialog> &entry : table) {
        if (entry.event != command.event || entry.control != command.control)
            continue;
        if (entry.wrap == Wrapped)
            dialog.ReadForm();
        if (entry.handler)
            (dialog.*entry.handler)();
        else if (entry.handlerWithArgument)
            (dialog.*entry.handlerWithArgument)(command.argument);
        if (entry.wrap == Wrapped)
            dialog.WriteForm();
        return true;
    }
    return false;
}
