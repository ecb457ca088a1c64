#include "resources/resourceids.h"
#include "resources/resources.h"

#include <QtTest>

class tst_Resources : public QObject
{
    Q_OBJECT

private slots:
    void stringsByNumber_data();
    void stringsByNumber();
    void helpPageAddress();
    void templatesByNumber_data();
    void templatesByNumber();
};

void tst_Resources::stringsByNumber_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("101") << 101 << QByteArray("&About Penwick...");
    QTest::newRow("103") << 103 << QByteArray("Windows sockets initialization failed.");
    QTest::newRow("missing") << 102 << QByteArray();
}

void tst_Resources::stringsByNumber()
{
    QFETCH(int, id);
    QFETCH(QByteArray, text);
    QCOMPARE(QByteArray::fromStdString(LoadResourceString(id)), text);
}

void tst_Resources::helpPageAddress()
{
    QCOMPARE(HelpPageAddress(), Text("http://www.lumenlog.example/lumenlog/help.htm"));
}

void tst_Resources::templatesByNumber_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("controls");
    QTest::newRow("About") << 100 << "About Lumenlog" << QSize(170, 62) << 4;
    QTest::newRow("main") << 102 << "Lumenlog" << QSize(320, 177) << 20;
    QTest::newRow("Date Selection") << 130 << "Date Selection" << QSize(186, 113) << 2;
}

void tst_Resources::templatesByNumber()
{
    QFETCH(int, id);
    QFETCH(QString, caption);
    QFETCH(QSize, size);
    QFETCH(int, controls);
    const DialogTemplate *dialog = FindDialogTemplate(id);
    QVERIFY(dialog);
    QCOMPARE(QString::fromLatin1(dialog->caption), caption);
    QCOMPARE(QSize(dialog->width, dialog->height), size);
    QCOMPARE(QByteArray(dialog->fontName), QByteArray("MS Sans Serif"));
    QCOMPARE(dialog->fontPointSize, 8);
    QCOMPARE(int(dialog->controls.size()), controls);
    QVERIFY(!FindDialogTemplate(id + 1000));
}

QTEST_GUILESS_MAIN(tst_Resources)
#include "tst_resources.moc"
