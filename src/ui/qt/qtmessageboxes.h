#pragma once

#include "ui/messageboxes.h"

#include <QPointer>
#include <QWidget>

#include <functional>

// One box as the program asks for it.
struct BoxRequest
{
    Text text;
    Text caption;
    BoxType type;
    bool warningIcon;
    QWidget *owner; // nullptr: no owner window
};

// Message boxes as QMessageBox. A dialog's own box is owned by that dialog, has its caption
// and no icon; an application box has the application title as caption and the warning icon,
// and is owned by the main dialog (no window before there is one). OK answers 1, Yes 6, No 7.
class QtMessageBoxes : public MessageBoxes
{
public:
    explicit QtMessageBoxes(QWidget *dialog) : m_dialog(dialog) {}

    int DialogBox(const Text &text, const Text &caption, BoxType type) override;
    int AppBox(const Text &text, BoxType type) override;

    // The owner of application boxes from now on.
    static void SetMainWindow(QWidget *window);

    // Shows the box modally and returns the answer, or, while `answerer` is set, hands the box
    // to it and returns its answer without showing anything (for tests).
    static int Show(const BoxRequest &request);
    static inline std::function<int(const BoxRequest &)> answerer;

private:
    QWidget *m_dialog;
};
