// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journalformat.h"
#include "journal/loadcheck.h"
#include "support/testsupport.h"

#include <QtTest>

// Which journals a load leaves part of out: one table of journal shapes, each with what is
// left out (kinds and bytes) or nothing.
class tst_LoadCheck : public QObject
{
    Q_OBJECT

private slots:
    void findsWhatTheLoadLeavesOut_data();
    void findsWhatTheLoadLeavesOut();
};

namespace {

const Text creator = "CREATOR=PENWICK 1.0";

QByteArray Bytes(const Text &text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

const Text twoRecords = SavedBytes({{"2024-05-02", "Newer", "text"}, {"2024-05-01", "Older", "a"}});

} // namespace

void tst_LoadCheck::findsWhatTheLoadLeavesOut_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<unsigned>("kinds");
    QTest::addColumn<int>("bytes");

    // Journals this program writes, whatever their rows hold.
    QTest::newRow("empty file") << QByteArray() << 0u << 0;
    QTest::newRow("written: two records") << Bytes(twoRecords) << 0u << 0;
    QTest::newRow("written: awkward values")
        << Bytes(SavedBytes({{"2024-05-03", "x=y <br> \r", "first\r\nsecond<br>\nthird\r"},
                             {"2024-05-02", "caf\xE9 ", "\x1A na\xEFve\t"},
                             {"2024-05-01", "", ""},
                             {"2024-05-01", "a\rb", "  "}}))
        << 0u << 0;

    // What every save changes in any journal is no loss.
    QTest::newRow("LF line ends, no creator line")
        << QByteArray("DATE=1\nTITLE=a\nENTRY=b\nDATE=2\nTITLE=c\nENTRY=d\n") << 0u << 0;
    QTest::newRow("trailing white space and blank lines")
        << QByteArray("CREATOR=PENWICK 1.0 \r\n\r\n  \r\nDATE=1\t\r\nTITLE=a  \r\n\r\nENTRY=b\r\n")
        << 0u << 0;
    QTest::newRow("white space after the last line end")
        << QByteArray("DATE=1\r\nTITLE=a\r\nENTRY=b\r\n \t ") << 0u << 0;
    QTest::newRow("end-of-file mark at the end, as old editors write")
        << Bytes(twoRecords + "\x1A") << 0u << 0;
    QTest::newRow("a title carried over to a record without one")
        << QByteArray("DATE=1\nTITLE=a\nENTRY=b\nDATE=2\nENTRY=c\n") << 0u << 0;
    QTest::newRow("a dateless record's texts carried into the next")
        << QByteArray("DATE=\nTITLE=a\nENTRY=b\nDATE=2\n") << 0u << 0;
    QTest::newRow("title before its date") << QByteArray("TITLE=a\nDATE=1\nENTRY=b\n") << 0u << 0;
    QTest::newRow("the same title twice")
        << QByteArray("DATE=1\nTITLE=a\nTITLE=a\nENTRY=b\n") << 0u << 0;
    QTest::newRow("bare keys") << QByteArray("DATE=1\nTITLE\nENTRY\nDATE\n") << 0u << 0;

    // What the load leaves out.
    QTest::newRow("CR-only line ends")
        << QByteArray("CREATOR=PENWICK 1.0\rDATE=1\rTITLE=a\rENTRY=b\r")
        << unsigned(TextAfterLastLineEnd) << 43;
    QTest::newRow("last line without a line end")
        << Bytes(twoRecords + "DATE=3\r\nTITLE=c\r\nENTRY=no end") << unsigned(TextAfterLastLineEnd)
        << 12;
    QTest::newRow("text after an end-of-file mark")
        << Bytes(twoRecords + "\x1A" + "DATE=3\r\n") << unsigned(TextAfterEndOfFileMark) << 9;
    QTest::newRow("end-of-file mark inside a title")
        << QByteArray("DATE=1\r\nTITLE=ab\x1A"
                      "cd\r\nENTRY=e\r\n")
        << unsigned(TextAfterLastLineEnd | TextAfterEndOfFileMark) << 8 + 14;
    QTest::newRow("unknown line") << Bytes(twoRecords + "Note: call Bob\r\n")
                                  << unsigned(UnknownLines) << 16;
    QTest::newRow("key in lower case")
        << QByteArray("DATE=1\nTITLE=a\nENTRY=b\ndate=2\n") << unsigned(UnknownLines) << 7;
    QTest::newRow("space before the key")
        << QByteArray("DATE=1\nTITLE=a\nENTRY=b\n DATE=2\n") << unsigned(UnknownLines) << 8;
    QTest::newRow("only = lines") << QByteArray("=\n=\n=\n") << unsigned(UnknownLines) << 6;
    QTest::newRow("another program's creator line")
        << QByteArray("CREATOR=OTHER 2.0\nDATE=1\nTITLE=a\nENTRY=b\n") << unsigned(UnknownLines)
        << 18;
    QTest::newRow("title replaced before its record was committed")
        << QByteArray("DATE=1\r\nTITLE=a\r\nTITLE=b\r\nENTRY=e\r\n") << unsigned(ValuesWithoutRow)
        << 9;
    QTest::newRow("record that never gets a date")
        << Bytes(twoRecords + "\r\nDATE=\r\nTITLE=lost\r\nENTRY=too\r\n")
        << unsigned(ValuesWithoutRow) << 12 + 11;
    QTest::newRow("texts of a dateless record replaced by the next record's")
        << QByteArray("DATE=1\nTITLE=a\nENTRY=b\nDATE\nTITLE=c\nDATE=2\nTITLE=d\n")
        << unsigned(ValuesWithoutRow) << 8;
    QTest::newRow("several kinds at once")
        << QByteArray("?\nDATE=1\nTITLE=a\nENTRY=b\nENTRY=c\nTITLE=d\nDATE=\nENTRY=e\n\x1Ax")
        << unsigned(UnknownLines | ValuesWithoutRow | TextAfterEndOfFileMark) << 2 + 8 + 8 + 8 + 2;
}

void tst_LoadCheck::findsWhatTheLoadLeavesOut()
{
    QFETCH(QByteArray, file);
    QFETCH(unsigned, kinds);
    QFETCH(int, bytes);
    const UnloadedPart unloaded = FindUnloadedPart({file.constData(), size_t(file.size())});
    QCOMPARE(unloaded.kinds, kinds);
    QCOMPARE(unloaded.bytes, size_t(bytes));
    QCOMPARE(unloaded.Any(), kinds != 0);
}

QTEST_GUILESS_MAIN(tst_LoadCheck)
#include "tst_loadcheck.moc"
