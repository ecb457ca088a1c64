// SPDX-License-Identifier: GPL-3.0-or-later
#include "find/entrysearch.h"
#include "support/testsupport.h"

#include <QtTest>

class tst_EntrySearch : public QObject
{
    Q_OBJECT

private slots:
    void findsAndChoosesTheEntry_data();
    void findsAndChoosesTheEntry();
};

// Each text is one row's Entry, below a Date of 2024-05-01, 2024-05-02, ...; -1: not found.
void tst_EntrySearch::findsAndChoosesTheEntry_data()
{
    QTest::addColumn<QByteArrayList>("texts");
    QTest::addColumn<QByteArray>("needle");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("previous");
    QTest::addColumn<int>("found");
    QTest::addColumn<bool>("wrapped");

    const auto rule = [](const char *tag, const QByteArrayList &texts, const QByteArray &needle,
                         bool matchCase, int found) {
        QTest::newRow(tag) << texts << needle << matchCase << -1 << false << found << false;
    };
    rule("ASCII in other case", {"Heron by the river"}, "RIVER", false, 0);
    rule("UTF-8: É finds é", {"Un café noir"}, "CAFÉ", false, 0);
    rule("STRASSE finds Straße", {"Hauptstraße 5"}, "STRASSE", false, 0);
    rule("straße finds STRASSE", {"HAUPTSTRASSE"}, "straße", false, 0);
    rule("a ligature folds to letters", {"the oﬃce"}, "OFFICE", false, 0);
    rule("Cyrillic in other case", {"Привет, мир"}, "ПРИВЕТ", false, 0);
    rule("Windows-1252: é finds É", {"\xC9t\xE9 \xE0 Paris"}, "été", false, 0);
    rule("Windows-1252: GRUSS finds ß", {"Gru\xDF"}, "GRUSS", false, 0);
    rule("match case: other case differs", {"Un café noir"}, "CAFÉ", true, -1);
    rule("match case in Windows-1252", {"caf\xE9"}, "café", true, 0);
    rule("UTF-8 bytes shown as Windows-1252", {"caf\xC3\xA9 \xFF"}, "café", false, -1);
    rule("no match across a line break", {"first\r\nsecond"}, "first second", false, -1);
    rule("a needle with a line break", {"first\r\nsecond"}, "first\r\nsecond", false, -1);
    rule("the Date is searched", {"one", "two"}, "2024-05-02", false, 1);
    rule("an empty needle finds nothing", {"one"}, "", false, -1);

    const QByteArrayList fruit{"apple", "pear", "Apple pie", "plum"};
    const auto go = [&](const char *tag, const QByteArray &needle, int from, bool previous,
                        int found, bool wrapped) {
        QTest::newRow(tag) << fruit << needle << false << from << previous << found << wrapped;
    };
    go("next", "apple", 0, false, 2, false);
    go("next wraps to the top", "apple", 2, false, 0, true);
    go("previous", "apple", 3, true, 2, false);
    go("previous wraps to the bottom", "apple", 0, true, 2, true);
    go("no chosen row: next from the top", "apple", -1, false, 0, false);
    go("no chosen row: previous from the bottom", "apple", -1, true, 2, false);
    go("the chosen row comes last", "pear", 1, false, 1, true);
    go("not found", "fig", 1, false, -1, false);
}

void tst_EntrySearch::findsAndChoosesTheEntry()
{
    QFETCH(QByteArrayList, texts);
    QFETCH(QByteArray, needle);
    QFETCH(bool, matchCase);
    QFETCH(int, from);
    QFETCH(bool, previous);
    QFETCH(int, found);
    QFETCH(bool, wrapped);
    FakeEntries f;
    for (int i = 0; i < texts.size(); ++i)
        f.list.rows.push_back(
            Row{"2024-05-0" + std::to_string(i + 1), "T", texts[i].toStdString()});
    f.list.selectionMark = from;
    f.exchange.controls.Entry = "typed";

    const FindOutcome outcome = FindEntry(f.entries, needle.toStdString(), matchCase,
                                          previous ? FindDirection::Previous : FindDirection::Next);
    QCOMPARE(outcome, found < 0 ? FindOutcome::NotFound
                      : wrapped ? FindOutcome::FoundAfterWrap
                                : FindOutcome::Found);
    // Found, the row is chosen and loaded as a click does; else nothing changes.
    QCOMPARE(f.list.selectionMark, found < 0 ? from : found);
    QCOMPARE(f.exchange.controls.Entry, found < 0 ? "typed" : f.list.rows[size_t(found)][2]);
}

QTEST_GUILESS_MAIN(tst_EntrySearch)
#include "tst_entrysearch.moc"
