// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/qtmessageboxes.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

class tst_MessageBoxes : public QObject
{
    Q_OBJECT

private slots:
    void realBoxAnswers_data();
    void realBoxAnswers();
    void boxIsWideEnoughForItsCaption_data();
    void boxIsWideEnoughForItsCaption();
};

void tst_MessageBoxes::realBoxAnswers_data()
{
    QTest::addColumn<int>("kind"); // 0 dialog box, 1 application box, 2 choice box
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("answer");
    QTest::newRow("dialog OK") << 0 << int(BoxOk) << "OK" << int(AnswerOk);
    QTest::newRow("application Yes") << 1 << int(BoxYesNo) << "Yes" << int(AnswerYes);
    QTest::newRow("application No") << 1 << int(BoxYesNo) << "No" << int(AnswerNo);
    QTest::newRow("application Escape") << 1 << int(BoxYesNo) << "Escape" << int(AnswerNo);
    QTest::newRow("choice Return") << 2 << int(BoxYesNo) << "Return" << int(AnswerYes);
    QTest::newRow("choice Escape") << 2 << int(BoxYesNo) << "Escape" << int(AnswerNo);
}

void tst_MessageBoxes::realBoxAnswers()
{
    QFETCH(int, kind);
    QFETCH(int, type);
    QFETCH(QString, press);
    QFETCH(int, answer);
    QWidget dialog;
    QtMessageBoxes boxes(&dialog);

    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QWidget *owner = nullptr;
    QStringList buttons;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        owner = box->parentWidget();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text().remove('&');
        if (press == "Escape" || press == "Return") {
            QTest::keyClick(box, press == "Escape" ? Qt::Key_Escape : Qt::Key_Return);
            return;
        }
        for (QAbstractButton *button : box->buttons()) {
            if (button->text().remove('&') == press)
                button->click();
        }
    });
    const int result = kind == 2 ? boxes.ChoiceBox("Merge?", "Merge", "&Merge", "&Not now")
                       : kind == 1
                           ? boxes.AppBox("Is it so?\r\nReally?", BoxType(type))
                           : boxes.DialogBox("Date Blank.\r\nNo entry added.", "Error", BoxOk);
    QCOMPARE(result, answer);
    QCOMPARE(owner, &dialog);
    if (kind == 2) {
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(buttons, (QStringList{"Merge", "Not now"}));
    } else if (kind == 1) {
        QCOMPARE(title, QString("Penwick"));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(text, QString("Is it so?\nReally?"));
        QCOMPARE(buttons.size(), 2);
        QVERIFY(buttons.contains("Yes") && buttons.contains("No"));
    } else {
        QCOMPARE(title, QString("Error"));
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(text, QString("Date Blank.\nNo entry added."));
        QCOMPARE(buttons, QStringList{"OK"});
    }
}

void tst_MessageBoxes::boxIsWideEnoughForItsCaption_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("caption");
    QTest::newRow("Save to File") << QByteArray("Save to File") << QByteArray("Error Writing File");
    QTest::newRow("Could not write")
        << QByteArray("Could not write to log file") << QByteArray("Error Log");
    QTest::newRow("short text, long caption")
        << QByteArray("x") << QByteArray("A caption of many words, far longer than the text");
}

// The caption in bold, with room for the window icon and three buttons of the title bar.
void tst_MessageBoxes::boxIsWideEnoughForItsCaption()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, caption);
    QtMessageBoxes boxes(nullptr);
    int width = 0;
    QFont font;
    QTimer::singleShot(0, this, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box)
            return;
        width = box->width();
        font = box->font();
        box->close();
    });
    boxes.DialogBox(text.toStdString(), caption.toStdString(), BoxOk);
    font.setBold(true);
    const QFontMetrics metrics(font);
    QVERIFY2(width >= metrics.horizontalAdvance(QString::fromUtf8(caption)) + 4 * metrics.height(),
             qPrintable(QString::number(width)));
}

QTEST_MAIN(tst_MessageBoxes)
#include "tst_messageboxes.moc"
