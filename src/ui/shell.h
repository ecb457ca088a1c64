// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"
#include "ui/messageboxes.h"

// Asks the desktop to open a file or a web address with the user's associated application.
class Shell
{
public:
    virtual ~Shell() = default;
    // False when no program could be found to open it.
    virtual bool Open(const Text &target) = 0;
};

// Opens `target` (a web address, or a file name relative to the working directory); when no
// program can open it, a box names it, with its full path, and says so, so that the user can
// open it by hand.
void OpenOrSayWhyNot(Shell &shell, MessageBoxes &boxes, const Text &target);
