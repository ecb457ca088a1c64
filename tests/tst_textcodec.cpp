// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/textcodec.h"

#include <QtTest>

class tst_TextCodec : public QObject
{
    Q_OBJECT

private slots:
    void isValidUtf8_data();
    void isValidUtf8();
    void validUtf8AfterLongAsciiRun();
    void windows1252KeepsEveryByteApart();
    void windows1252HighHalf_data();
    void windows1252HighHalf();
};

void tst_TextCodec::isValidUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("ASCII with zero byte") << QByteArray("a\0b", 3) << true;
    QTest::newRow("two-byte e acute") << QByteArray("caf\xC3\xA9") << true;
    QTest::newRow("three-byte CJK") << QByteArray("\xE4\xB8\xAD") << true;
    QTest::newRow("four-byte emoji") << QByteArray("\xF0\x9F\x98\x80") << true;
    QTest::newRow("U+10FFFF") << QByteArray("\xF4\x8F\xBF\xBF") << true;
    QTest::newRow("U+FFFF") << QByteArray("\xEF\xBF\xBF") << true;
    QTest::newRow("U+D7FF before surrogates") << QByteArray("\xED\x9F\xBF") << true;
    QTest::newRow("U+E000 after surrogates") << QByteArray("\xEE\x80\x80") << true;
    QTest::newRow("Windows-1252 e acute") << QByteArray("caf\xE9") << false;
    QTest::newRow("lone continuation byte") << QByteArray("\x80") << false;
    QTest::newRow("overlong slash C0 AF") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("overlong C1 BF") << QByteArray("\xC1\xBF") << false;
    QTest::newRow("overlong three-byte") << QByteArray("\xE0\x80\xAF") << false;
    QTest::newRow("overlong four-byte") << QByteArray("\xF0\x8F\xBF\xBF") << false;
    QTest::newRow("surrogate U+D800") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("surrogate U+DFFF") << QByteArray("\xED\xBF\xBF") << false;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("F5 lead byte") << QByteArray("\xF5\x80\x80\x80") << false;
    QTest::newRow("FF byte") << QByteArray("\xFF") << false;
    QTest::newRow("truncated at end") << QByteArray("ab\xE4\xB8") << false;
    QTest::newRow("truncated before ASCII") << QByteArray("\xC3-") << false;
    QTest::newRow("truncated four-byte") << QByteArray("\xF0\x9F\x98") << false;
    QTest::newRow("extra continuation") << QByteArray("\xC3\xA9\xA9") << false;
}

void tst_TextCodec::isValidUtf8()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(IsValidUtf8(bytes.toStdString()), valid);
}

void tst_TextCodec::validUtf8AfterLongAsciiRun()
{
    // The ASCII fast path must hand over to the full check at any offset.
    for (int prefix = 0; prefix < 20; ++prefix) {
        const std::string ascii(std::size_t(prefix), 'a');
        QVERIFY(IsValidUtf8(ascii + "\xC3\xA9" + ascii));
        QVERIFY(!IsValidUtf8(ascii + "\xE9" + ascii));
        QVERIFY(!IsValidUtf8(ascii + "\xC3"));
    }
}

void tst_TextCodec::windows1252KeepsEveryByteApart()
{
    // Every byte becomes a character of its own, so a text shown this way loses none.
    QSet<QString> shown;
    for (int byte = 0; byte < 256; ++byte) {
        const std::string utf8 = Windows1252ToUtf8(std::string(1, static_cast<char>(byte)));
        QVERIFY(IsValidUtf8(utf8));
        const QString character = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        QCOMPARE(character.toUcs4().size(), 1);
        shown.insert(character);
    }
    QCOMPARE(shown.size(), 256);
}

void tst_TextCodec::windows1252HighHalf_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<uint>("codePoint");
    QTest::newRow("0x80 euro") << 0x80 << 0x20ACu;
    QTest::newRow("0x81 unassigned") << 0x81 << 0x81u;
    QTest::newRow("0x83 f with hook") << 0x83 << 0x0192u;
    QTest::newRow("0x8D unassigned") << 0x8D << 0x8Du;
    QTest::newRow("0x8F unassigned") << 0x8F << 0x8Fu;
    QTest::newRow("0x90 unassigned") << 0x90 << 0x90u;
    QTest::newRow("0x92 right quote") << 0x92 << 0x2019u;
    QTest::newRow("0x96 en dash") << 0x96 << 0x2013u;
    QTest::newRow("0x99 trade mark") << 0x99 << 0x2122u;
    QTest::newRow("0x9D unassigned") << 0x9D << 0x9Du;
    QTest::newRow("0x9F Y diaeresis") << 0x9F << 0x0178u;
    QTest::newRow("0xA0 no-break space") << 0xA0 << 0xA0u;
    QTest::newRow("0xE9 e acute") << 0xE9 << 0xE9u;
    QTest::newRow("0xFF y diaeresis") << 0xFF << 0xFFu;
}

void tst_TextCodec::windows1252HighHalf()
{
    QFETCH(int, byte);
    QFETCH(uint, codePoint);
    const std::string utf8 = Windows1252ToUtf8(std::string(1, static_cast<char>(byte)));
    const char32_t expected[] = {char32_t(codePoint)};
    QCOMPARE(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())),
             QString::fromUcs4(expected, 1));
}

QTEST_GUILESS_MAIN(tst_TextCodec)
#include "tst_textcodec.moc"
