// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The two directions of form exchange between a dialog's bound controls and its fields.
class FormExchange
{
public:
    virtual ~FormExchange() = default;
    // Controls to fields.
    virtual void ReadForm() = 0;
    // Fields to controls.
    virtual void WriteForm() = 0;
};
