#include "ui/qtmessageboxes.h"

#include "resources/resources.h"
#include "ui/displaytext.h"

#include <QMessageBox>
#include <QPushButton>

namespace {
QPointer<QWidget> mainWindow;

// Box texts use CR LF for their line breaks; a label wants LF.
QString BoxText(const Text &bytes)
{
    Text text = bytes;
    ReplaceAll(text, "\r\n", "\n");
    return ToDisplay(text);
}
} // namespace

void QtMessageBoxes::SetMainWindow(QWidget *window)
{
    mainWindow = window;
}

int QtMessageBoxes::DialogBox(const Text &text, const Text &caption, BoxType type)
{
    return Show({text, caption, type, false, m_dialog});
}

int QtMessageBoxes::AppBox(const Text &text, BoxType type)
{
    return Show({text, ApplicationTitle, type, true, mainWindow.data()});
}

int QtMessageBoxes::Show(const BoxRequest &request)
{
    if (answerer)
        return answerer(request);

    QMessageBox box(request.owner);
    box.setWindowTitle(ToDisplay(request.caption));
    box.setText(BoxText(request.text));
    box.setTextFormat(Qt::PlainText);
    // A box may name a file the user wants to find (where an outside version was kept): its
    // text can be selected and copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.setIcon(request.warningIcon ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (request.type == BoxYesNo) {
        QPushButton *yes = box.addButton(QMessageBox::Yes);
        box.addButton(QMessageBox::No);
        box.setDefaultButton(yes);
        box.exec();
        return box.clickedButton() == yes ? AnswerYes : AnswerNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return AnswerOk;
}
