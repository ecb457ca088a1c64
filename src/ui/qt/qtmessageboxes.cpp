// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/qtmessageboxes.h"

#include "resources/resources.h"
#include "ui/qt/displaytext.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyle>

#include <algorithm>

namespace {
// Box texts use CR LF for their line breaks; a label wants LF.
QString BoxText(const Text &bytes)
{
    Text text = bytes;
    ReplaceAll(text, "\r\n", "\n");
    return ToDisplay(text);
}

// The width the window manager needs to show the box's whole caption: the caption in its
// title font, which is often bold and may be larger than the box's own, beside the window icon
// and the minimise, maximise and close buttons, each about as wide as the title bar is high,
// with a margin at either end.
int CaptionWidth(const QMessageBox &box)
{
    int textWidth = 0;
    for (QFont font : {QFontDatabase::systemFont(QFontDatabase::TitleFont), box.font()}) {
        font.setBold(true);
        textWidth = std::max(textWidth, QFontMetrics(font).horizontalAdvance(box.windowTitle()));
    }
    // A title bar is at least one line of text with a little room above and below it.
    const int titleBar =
        std::max(box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box),
                 QFontMetrics(box.font()).height() + 8);
    constexpr int iconAndButtons = 4;
    return textWidth + (iconAndButtons + 1) * titleBar;
}

// A box sizes itself to its text and buttons; an empty item as wide as the caption needs
// keeps it from being narrower.
void FitCaption(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    grid->addItem(new QSpacerItem(CaptionWidth(box), 0, QSizePolicy::Fixed, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

// What every box shares: caption, text that can be selected, and the icon.
void Prepare(QMessageBox &box, const Text &text, const Text &caption, bool warningIcon)
{
    box.setWindowTitle(ToDisplay(caption));
    box.setText(BoxText(text));
    box.setTextFormat(Qt::PlainText);
    // A box may name a file the user wants to find (where an outside version was kept): its
    // text can be selected and copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.setIcon(warningIcon ? QMessageBox::Warning : QMessageBox::NoIcon);
}
} // namespace

int QtMessageBoxes::DialogBox(const Text &text, const Text &caption, BoxType type)
{
    return Show(text, caption, type, false);
}

int QtMessageBoxes::AppBox(const Text &text, BoxType type)
{
    return Show(text, ApplicationTitle, type, true);
}

int QtMessageBoxes::ChoiceBox(const Text &text, const Text &caption, const Text &accept,
                              const Text &decline)
{
    QMessageBox box(m_owner.data());
    Prepare(box, text, caption, false);
    QPushButton *yes = box.addButton(ToDisplay(accept), QMessageBox::AcceptRole);
    QPushButton *no = box.addButton(ToDisplay(decline), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    FitCaption(box);
    box.exec();
    return box.clickedButton() == yes ? AnswerYes : AnswerNo;
}

int QtMessageBoxes::Show(const Text &text, const Text &caption, BoxType type, bool warningIcon)
{
    QMessageBox box(m_owner.data());
    Prepare(box, text, caption, warningIcon);
    if (type == BoxYesNo) {
        QPushButton *yes = box.addButton(QMessageBox::Yes);
        box.addButton(QMessageBox::No);
        box.setDefaultButton(yes);
        FitCaption(box);
        box.exec();
        return box.clickedButton() == yes ? AnswerYes : AnswerNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    FitCaption(box);
    box.exec();
    return AnswerOk;
}
