// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/messageboxes.h"

#include <QPointer>
#include <QWidget>

// Message boxes as QMessageBox, owned by the owner window: the main dialog once it exists, no
// window before. A dialog box has its caption and no icon; an application box has the
// application title as caption and the warning icon. OK answers 1, Yes 6, No 7; a choice
// box's default button 6, its other one 7.
class QtMessageBoxes : public MessageBoxes
{
public:
    explicit QtMessageBoxes(QWidget *owner = nullptr) : m_owner(owner) {}

    // The window that owns every box from now on.
    void SetOwner(QWidget *owner) { m_owner = owner; }

    int DialogBox(const Text &text, const Text &caption, BoxType type) override;
    int AppBox(const Text &text, BoxType type) override;
    int ChoiceBox(const Text &text, const Text &caption, const Text &accept,
                  const Text &decline) override;

private:
    int Show(const Text &text, const Text &caption, BoxType type, bool warningIcon);

    QPointer<QWidget> m_owner;
};
