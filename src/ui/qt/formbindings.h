// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"

#include <QString>

#include <cstdint>
#include <vector>

class QWidget;

// A dialog's fields, each bound to the edit box that shows it, read and written together in
// the order they were bound (form exchange).
class FormBindings
{
public:
    // A text field shown in an edit box. For a multi-line box the field holds CR LF where the
    // box shows a line break. When the box still shows what Write put there, Read gives back
    // the very bytes that were written, even those the display cannot show. A binding to no
    // control (nullptr) is never read or written.
    void BindText(QWidget *control, Text &field);
    // An integer shown in decimal; text that is not a number leaves the field unchanged.
    void BindInt(QWidget *control, std::int32_t &field);

    // Every field from what its box shows.
    void Read();
    // Every field into its box.
    void Write();

private:
    struct Binding
    {
        QWidget *control = nullptr;
        Text *text = nullptr;
        std::int32_t *number = nullptr;
        Text bytesWritten;
        QString shownWritten;
        bool written = false;
    };

    static void ReadBinding(Binding &binding);
    static void WriteBinding(Binding &binding);

    std::vector<Binding> m_bindings;
};
