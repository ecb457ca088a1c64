// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/conflictcopies.h"
#include "journal/recordmerge.h"
#include "support/testsupport.h"

#include <QtTest>

#include <algorithm>
#include <map>

// The merge of a copy into the list, from the copy's file and the journal's kept versions to
// the merged rows and what the box says, and the promise that nothing is lost.
class tst_RecordMerge : public QObject
{
    Q_OBJECT

private slots:
    void mergesCopy_data();
    void mergesCopy();
    void losesNothingOnRandomLists();
};

namespace {

// A record written as a letter, then an optional digit (its entry edited) and '^' (its title
// edited); the date stays the letter's. Lists are records separated by spaces, top row first.
Row Record(const QString &token)
{
    const std::string letter = token.left(1).toStdString();
    const std::string title = "title " + letter + (token.endsWith('^') ? "^" : "");
    return {"2024-05-" + letter, title, "entry " + letter + token.mid(1).remove('^').toStdString()};
}

std::vector<Row> Records(const QString &list)
{
    std::vector<Row> rows;
    for (const QString &token : list.split(' ', Qt::SkipEmptyParts))
        rows.push_back(Record(token));
    return rows;
}

QString Tokens(const RowStore &rows)
{
    QStringList tokens;
    for (const Row &row : RowsOf(rows))
        tokens << QString::fromStdString(row[0].substr(8) + row[2].substr(7) +
                                         (row[1].ends_with('^') ? "^" : ""));
    return tokens.join(' ');
}

QByteArray JournalOf(const QString &list)
{
    const Text bytes = SavedBytes(Records(list));
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

// Every record of either side is in the merge, except a copy one side removed and the other
// left alone; nothing else is.
void VerifyNothingLost(const RowStore &base, const RowStore &ours, const RowStore &theirs,
                       const RowStore &merged)
{
    std::map<Row, std::array<int, 4>> counts;
    const RowStore *lists[] = {&base, &ours, &theirs, &merged};
    for (int list = 0; list < 4; ++list) {
        for (const Row &row : RowsOf(*lists[list]))
            ++counts[row][size_t(list)];
    }
    for (const auto &[row, count] : counts) {
        const auto [b, o, t, m] = count;
        QVERIFY2(m >= o - std::max(0, b - t) && m >= t - std::max(0, b - o) && m <= std::max(o, t),
                 (row[0] + " " + row[1] + " " + row[2]).c_str());
    }
}

} // namespace

void tst_RecordMerge::mergesCopy_data()
{
    QTest::addColumn<QStringList>("versions"); // newest first
    QTest::addColumn<QString>("ours");
    QTest::addColumn<QByteArray>("copy");
    QTest::addColumn<QString>("merged");
    QTest::addColumn<QString>("summary");

    const QStringList abc{"a b c"};
    QTest::newRow("theirs added") << abc << "a b c" << JournalOf("d a b c") << "d a b c"
                                  << "1 entry to add";
    QTest::newRow("both added: theirs' on top, in their order")
        << abc << "d a b c" << JournalOf("e f a b c") << "e f d a b c"
        << "2 entries to add";
    QTest::newRow("theirs removed") << abc << "a b c" << JournalOf("a c") << "a c"
                                    << "1 entry to remove";
    QTest::newRow("theirs edited an entry: in place")
        << abc << "a b c" << JournalOf("a b1 c") << "a b1 c"
        << "1 entry to change";
    QTest::newRow("theirs edited a title: in place")
        << abc << "a b c" << JournalOf("a b^ c") << "a b^ c"
        << "1 entry to change";
    QTest::newRow("ours removed, theirs edited: both kept")
        << abc << "a c" << JournalOf("a b1 c") << "b1 a c"
        << "1 entry changed on both computers: both kept";
    QTest::newRow("ours edited, theirs removed: both kept")
        << abc << "a b1 c" << JournalOf("a c") << "a b1 c"
        << "1 entry changed on both computers: both kept";
    QTest::newRow("both edited: side by side")
        << abc << "a b1 c" << JournalOf("a b2 c") << "a b1 b2 c"
        << "1 entry changed on both computers: both kept";
    QTest::newRow("both made the same edit") << abc << "a b1 c" << JournalOf("a b1 c") << "a b1 c"
                                             << "nothing to change";
    QTest::newRow("duplicates: theirs added a copy")
        << QStringList{"a b"} << "a b" << JournalOf("a a b") << "a a b"
        << "1 entry to add";
    QTest::newRow("duplicates: theirs removed one of two")
        << QStringList{"a b a"} << "a b a" << JournalOf("b a") << "a b"
        << "1 entry to remove";
    QTest::newRow("duplicates: both removed copies")
        << QStringList{"a a b"} << "a b" << JournalOf("b") << "b"
        << "1 entry to remove";
    QTest::newRow("duplicates: both added the same copy")
        << QStringList{"a"} << "b a" << JournalOf("b a") << "b a"
        << "nothing to change";
    QTest::newRow("an empty base") << QStringList{""} << "a b" << JournalOf("c b") << "c a b"
                                   << "1 entry to add";
    QTest::newRow("a base missing") << QStringList{} << "a b" << JournalOf("a c") << "c a b"
                                    << "1 entry to add";
    QTest::newRow("the newest version whose additions theirs holds")
        << QStringList{"c b a", "b a", "a"} << "c b a" << JournalOf("c a") << "c a"
        << "1 entry to remove";
    QTest::newRow("not a version kept after the computers parted")
        << QStringList{"d a b c", "a b c"} << "d a b c" << JournalOf("a c") << "d a c"
        << "1 entry to remove";
    QTest::newRow("an empty copy removes nothing") << abc << "a b c" << QByteArray() << "a b c"
                                                   << "nothing to change";
    QTest::newRow("a copy that is not a journal is left alone")
        << abc << "a b c" << JournalOf("a").append("some notes") << "a b c"
        << "nothing to change";
}

void tst_RecordMerge::mergesCopy()
{
    QFETCH(QStringList, versions);
    QFETCH(QString, ours);
    QFETCH(QByteArray, copy);
    QFETCH(QString, merged);
    QFETCH(QString, summary);

    QTemporaryDir folder;
    const std::string path =
        folder.filePath("pw.sync-conflict-20261210-101010-ABCDEFG.dat").toStdString();
    WriteBytes(path, copy.toStdString());
    const RowStore oursRows = RowStore::FromRows(Records(ours));
    const auto load = [&](size_t index) -> std::optional<RowStore> {
        return RowStore::FromRows(Records(versions[qsizetype(index)]));
    };
    const CopyMergePlan plan = PlanCopyMerge(oursRows, {path}, size_t(versions.size()), load);
    QCOMPARE(Tokens(plan.result.rows), merged);
    QCOMPARE(QString::fromStdString(plan.result.summary.Describe()), summary);

    const CopyRecords theirs = ReadCopy(path);
    QCOMPARE(plan.leftAlone.size(), size_t(theirs.state == CopyState::Journal ? 0 : 1));
    const MergeBase base = FindMergeBase(theirs.rows, size_t(versions.size()), load);
    VerifyNothingLost(base.rows, oursRows, theirs.rows, plan.result.rows);
}

// Random lists of a few records, many of them alike, edited at random on two sides; merged as
// several copies in two orders.
void tst_RecordMerge::losesNothingOnRandomLists()
{
    QRandomGenerator random(24);
    const auto token = [&] {
        return QString(QChar('a' + random.bounded(4))) + QString::number(random.bounded(3));
    };
    const auto changed = [&](std::vector<Row> rows) {
        for (int step = random.bounded(5); step-- > 0;) {
            const auto at = qsizetype(random.bounded(int(rows.size()) + 1));
            if (random.bounded(2) && at < qsizetype(rows.size()))
                rows.erase(rows.begin() + at);
            else
                rows.insert(rows.begin() + at, Record(token()));
        }
        return RowStore::FromRows(rows);
    };
    for (int round = 0; round < 300; ++round) {
        std::vector<Row> base;
        for (int row = random.bounded(8); row-- > 0;)
            base.push_back(Record(token()));
        const RowStore baseRows = RowStore::FromRows(base);
        const RowStore ours = changed(base);
        std::vector<CopyWithBase> copies;
        for (int copy = 0; copy < 3; ++copy)
            copies.push_back({changed(base), baseRows});
        VerifyNothingLost(baseRows, ours, copies[0].copy,
                          MergeRecords(baseRows, ours, copies[0].copy).rows);

        const QString inOrder = Tokens(MergeCopies(ours, copies).rows);
        std::ranges::rotate(copies, copies.begin() + 1);
        std::swap(copies[0], copies[1]);
        QCOMPARE(Tokens(MergeCopies(ours, copies).rows), inOrder);
    }
}

QTEST_GUILESS_MAIN(tst_RecordMerge)
#include "tst_recordmerge.moc"
