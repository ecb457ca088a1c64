// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"

// Button sets and answers, with the numbers the logic compares against.
enum BoxType { BoxOk = 0, BoxYesNo = 4 };
enum BoxAnswer { AnswerOk = 1, AnswerCancel = 2, AnswerYes = 6, AnswerNo = 7 };

class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // A box owned by the dialog, with the given caption and no icon.
    virtual int DialogBox(const Text &text, const Text &caption, BoxType type) = 0;
    // A box raised through the application: the application title as caption and the
    // warning icon; owned by the main dialog, or by no window before it exists.
    virtual int AppBox(const Text &text, BoxType type) = 0;
    // A box owned by the dialog, with the given caption and no icon, that offers a choice
    // between two buttons with these texts ('&' before a letter makes it the button's key):
    // `accept`, the default (Return), answers AnswerYes; `decline` (Escape) answers AnswerNo.
    virtual int ChoiceBox(const Text &text, const Text &caption, const Text &accept,
                          const Text &decline) = 0;
};
