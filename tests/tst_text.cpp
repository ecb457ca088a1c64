// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/byteoutput.h"
#include "common/text.h"

#include <QtTest>

class tst_Text : public QObject
{
    Q_OBJECT

private slots:
    void replaceAll_data();
    void replaceAll();
    void trimTrailingWhiteSpace_data();
    void trimTrailingWhiteSpace();
    void compareText_data();
    void compareText();
    void appendsInTextMode_data();
    void appendsInTextMode();
};

void tst_Text::replaceAll_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("every occurrence")
        << QByteArray("a-b-c") << QByteArray("-") << QByteArray("+") << QByteArray("a+b+c");
    QTest::newRow("left to right, no overlap")
        << QByteArray("aaa") << QByteArray("aa") << QByteArray("b") << QByteArray("ba");
    QTest::newRow("inserted text not rescanned")
        << QByteArray("%T%") << QByteArray("%T%") << QByteArray("x%T%x") << QByteArray("x%T%x");
    QTest::newRow("replacement contains search")
        << QByteArray("ab") << QByteArray("a") << QByteArray("aa") << QByteArray("aab");
    QTest::newRow("empty search replaces nothing")
        << QByteArray("abc") << QByteArray() << QByteArray("x") << QByteArray("abc");
    QTest::newRow("replace by nothing")
        << QByteArray("a\r\nb\r\n") << QByteArray("\r\n") << QByteArray() << QByteArray("ab");
    QTest::newRow("not found") << QByteArray("abc") << QByteArray("d") << QByteArray("x")
                               << QByteArray("abc");
    QTest::newRow("whole text") << QByteArray("%Title%") << QByteArray("%Title%")
                                << QByteArray("Rain") << QByteArray("Rain");
    QTest::newRow("embedded zero byte")
        << QByteArray("a\0b", 3) << QByteArray("\0", 1) << QByteArray("0") << QByteArray("a0b");
}

void tst_Text::replaceAll()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QByteArray, expected);
    Text subject = text.toStdString();
    ReplaceAll(subject, from.toStdString(), to.toStdString());
    QCOMPARE(subject, expected.toStdString());

    // The occurrences counted are the ones replaced.
    const qsizetype count = qsizetype(CountOccurrences(text.toStdString(), from.toStdString()));
    QCOMPARE(qsizetype(subject.size()), text.size() + count * (to.size() - from.size()));
    // A reused buffer, holding text of its own, gives the same result.
    Text again = text.toStdString();
    Text scratch = "left over";
    ReplaceAll(again, from.toStdString(), to.toStdString(), scratch);
    QCOMPARE(again, subject);
}

void tst_Text::trimTrailingWhiteSpace_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("tab to carriage return and space")
        << QByteArray("x\t\n\v\f\r ") << QByteArray("x");
    QTest::newRow("leading kept") << QByteArray("  x  ") << QByteArray("  x");
    QTest::newRow("inner kept") << QByteArray("a b\tc\n") << QByteArray("a b\tc");
    QTest::newRow("all white") << QByteArray(" \r\n") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("no-break space 0xA0 stays") << QByteArray("x\xA0") << QByteArray("x\xA0");
    QTest::newRow("NEL 0x85 stays") << QByteArray("x\x85") << QByteArray("x\x85");
    QTest::newRow("UTF-8 NBSP stays") << QByteArray("x\xC2\xA0") << QByteArray("x\xC2\xA0");
    QTest::newRow("0x08 and 0x0E are not white")
        << QByteArray("x\x08 \x0E ") << QByteArray("x\x08 \x0E");
    QTest::newRow("zero byte is not white") << QByteArray("x\0", 2) << QByteArray("x\0", 2);
}

void tst_Text::trimTrailingWhiteSpace()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    const Text subject = text.toStdString();
    QCOMPARE(Text(WithoutTrailingWhiteSpace(subject)), expected.toStdString());
}

void tst_Text::compareText_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<int>("sign");
    QTest::newRow("equal") << QByteArray("abc") << QByteArray("abc") << 0;
    QTest::newRow("both empty") << QByteArray() << QByteArray() << 0;
    QTest::newRow("upper case first") << QByteArray("Zoo") << QByteArray("apple") << -1;
    QTest::newRow("case-sensitive") << QByteArray("a") << QByteArray("A") << 1;
    QTest::newRow("0x7F before 0x80") << QByteArray("\x7F") << QByteArray("\x80") << -1;
    QTest::newRow("0xFF after 0x01") << QByteArray("\xFF") << QByteArray("\x01") << 1;
    QTest::newRow("prefix first") << QByteArray("abc") << QByteArray("abcd") << -1;
    QTest::newRow("empty first") << QByteArray() << QByteArray("a") << -1;
    // U+00E9 (C3 A9) < U+4E2D (E4 B8 AD) < U+1F600 (F0 9F 98 80): code point order.
    QTest::newRow("two-byte before three-byte")
        << QByteArray("\xC3\xA9") << QByteArray("\xE4\xB8\xAD") << -1;
    QTest::newRow("three-byte before four-byte")
        << QByteArray("\xE4\xB8\xAD") << QByteArray("\xF0\x9F\x98\x80") << -1;
    QTest::newRow("ASCII before multi-byte") << QByteArray("z") << QByteArray("\xC3\xA9") << -1;
    QTest::newRow("dates in text order")
        << QByteArray("2006-09-22") << QByteArray("2006-10-01") << -1;
}

void tst_Text::compareText()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(int, sign);
    const int result = CompareText(a.toStdString(), b.toStdString());
    QCOMPARE((result > 0) - (result < 0), sign);
    const int reversed = CompareText(b.toStdString(), a.toStdString());
    QCOMPARE((reversed > 0) - (reversed < 0), -sign);
}

void tst_Text::appendsInTextMode_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("LF as CR LF") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("lone CR unchanged") << QByteArray("a\rb") << QByteArray("a\rb");
    QTest::newRow("CR LF gets a second CR") << QByteArray("a\r\n") << QByteArray("a\r\r\n");
    QTest::newRow("0x1A written as is") << QByteArray("a\x1A") << QByteArray("a\x1A");
    QTest::newRow("leading LFs") << QByteArray("\n\nx") << QByteArray("\r\n\r\nx");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    // Lines of growing length put LFs on both sides of every boundary of the output's buffer,
    // and one line is longer than the buffer.
    constexpr qsizetype bufferSize = 64 * 1024;
    QByteArray text;
    QByteArray expected;
    for (int length = 0; text.size() < 5 * bufferSize; length += 7) {
        const QByteArray line(length % 1000, char('a' + length % 26));
        text += line + "\n";
        expected += line + "\r\n";
    }
    const QByteArray longLine(2 * bufferSize + 3, 'L');
    QTest::newRow("large text") << text + longLine + "\nend" << expected + longLine + "\r\nend";
}

// Whole and byte by byte, into a ByteOutput, as the report writes.
void tst_Text::appendsInTextMode()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    const std::string_view whole(text.constData(), size_t(text.size()));
    for (const size_t piece : {std::max<size_t>(whole.size(), 1), size_t(1)}) {
        Text stored;
        ByteOutput out([&stored](std::string_view bytes) {
            stored.append(bytes);
            return true;
        });
        for (size_t at = 0; at < whole.size(); at += piece)
            AppendInTextMode(out, whole.substr(at, piece));
        QVERIFY(out.Finish());
        QCOMPARE(stored, expected.toStdString());
    }
}

QTEST_GUILESS_MAIN(tst_Text)
#include "tst_text.moc"
