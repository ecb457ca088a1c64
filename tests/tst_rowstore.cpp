// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/rowstore.h"
#include "support/testsupport.h"

#include <QtTest>

#include <algorithm>
#include <deque>
#include <numeric>
#include <thread>

class tst_RowStore : public QObject
{
    Q_OBJECT

private slots:
    void matchesPlainRows_data();
    void matchesPlainRows();
};

namespace {
// Texts of every kind of length: empty, short, and long enough for lengths of several bytes.
Row MakeRow(int serial)
{
    const Text number = std::to_string(serial);
    return Row{"2006-01-" + number, serial % 3 ? "title " + number : Text(),
               Text(size_t(serial % 5) * 97, char('a' + serial % 26)) + "\r\n" + number};
}
} // namespace

void tst_RowStore::matchesPlainRows_data()
{
    // Operations, separated by spaces: +N inserts a new row at N, =N replaces row N's texts,
    // -N removes row N, ~ reverses the rows, <N and >N insert a store of 3 or 1000 new rows at
    // N, @ takes a snapshot (read on a thread of its own while the store goes on changing, as the
    // background save reads it), and xN repeats the next operation N times.
    QTest::addColumn<QString>("operations");
    QTest::newRow("empty") << "";
    QTest::newRow("insert at top, end and middle") << "+0 +0 +2 +1";
    QTest::newRow("replace and remove") << "+0 +0 +0 =1 -0 =1 -1";
    QTest::newRow("reorder") << "+0 +1 +2 +3 ~ =0 ~";
    QTest::newRow("insert a store") << "<0 +0 <2 <5 -3";
    QTest::newRow("insert a large store") << "+0 >1 @ =500 >0 -1500 @ =2";
    QTest::newRow("store into an empty one") << "<0";
    QTest::newRow("snapshots keep their rows") << "+0 +0 @ =0 -1 @ +0 ~ @ <1 @";
    QTest::newRow("snapshot of an empty store, then rows") << "@ +0 @";
    QTest::newRow("many replacements squeeze out the garbage")
        << "x300 +0 @ x20000 =7 @ x250 -3 @ =0";
    QTest::newRow("snapshot then edits into its shared block") << "+0 +0 @ x50 +1 @ x49 -1";
}

void tst_RowStore::matchesPlainRows()
{
    QFETCH(QString, operations);
    RowStore store;
    std::vector<Row> plain;
    std::deque<std::pair<std::vector<Row>, std::vector<Row>>> snapshots; // rows then, rows read
    std::vector<std::jthread> readers;
    int serial = 0;
    int repeat = 1;
    for (const QString &operation : operations.split(' ', Qt::SkipEmptyParts)) {
        const QChar kind = operation.front();
        const size_t at = size_t(operation.mid(1).toInt());
        if (kind == 'x') {
            repeat = int(at);
            continue;
        }
        for (; repeat > 0; --repeat) {
            if (kind == '+') {
                const Row row = MakeRow(serial++);
                store.Insert(at, RowView{{row[0], row[1], row[2]}});
                plain.insert(plain.begin() + std::ptrdiff_t(at), row);
            } else if (kind == '=') {
                // The new texts partly come from the row itself, as a change of one column does.
                const Row row = MakeRow(serial++);
                RowView texts = store.At(at);
                texts.texts[2] = row[2];
                plain[at][2] = row[2];
                store.Set(at, texts);
            } else if (kind == '-') {
                store.Remove(at);
                plain.erase(plain.begin() + std::ptrdiff_t(at));
            } else if (kind == '~') {
                std::vector<int> order(plain.size());
                std::iota(order.rbegin(), order.rend(), 0);
                store.Reorder(order);
                std::reverse(plain.begin(), plain.end());
            } else if (kind == '<' || kind == '>') {
                std::vector<Row> added;
                for (int i = 0; i < (kind == '<' ? 3 : 1000); ++i)
                    added.push_back(MakeRow(serial++));
                store.Insert(at, RowStore::FromRows(added));
                plain.insert(plain.begin() + std::ptrdiff_t(at), added.begin(), added.end());
            } else if (kind == '@') {
                std::vector<Row> &read = snapshots.emplace_back(plain, std::vector<Row>()).second;
                readers.emplace_back([snapshot = store, &read] { read = RowsOf(snapshot); });
            }
        }
        repeat = 1;
    }
    QCOMPARE(store.Count(), plain.size());
    QCOMPARE(RowsOf(store), plain);
    readers.clear(); // joins them
    for (const auto &[rowsThen, rowsRead] : snapshots)
        QCOMPARE(rowsRead, rowsThen);
    // Garbage never outweighs the live rows for long: it is squeezed out beyond a megabyte.
    QVERIFY(store.HeldBytes() <= 2 * store.LiveBytes() + (size_t(1) << 20) + 4096);
}

QTEST_GUILESS_MAIN(tst_RowStore)
#include "tst_rowstore.moc"
