// SPDX-License-Identifier: GPL-3.0-or-later
#include "entries/undohistory.h"
#include "support/testsupport.h"

#include <QtTest>

#include <algorithm>
#include <numeric>

class tst_UndoHistory : public QObject
{
    Q_OBJECT

private slots:
    void matchesPlainHistory_data();
    void matchesPlainHistory();
};

namespace {
// Texts with line breaks and bytes of no encoding, which must come back unchanged.
Row MakeRow(int serial)
{
    const Text number = std::to_string(serial);
    return Row{"2006-01-" + number, serial % 3 ? "title\xff " + number : Text(),
               Text(size_t(serial % 5) * 40, 'e') + "\r\n" + number};
}

struct State
{
    std::vector<Row> rows;
    int mark = -1;
    std::vector<RowRange> selection;
    friend bool operator==(const State &, const State &) = default;
};

struct ModelStep
{
    Text name;
    State before, after;
};
} // namespace

void tst_UndoHistory::matchesPlainHistory_data()
{
    // Operations, separated by spaces: +N adds a row at N, =N updates row N, -N removes row N,
    // ~ moves the top row to the bottom (a sort), *N merges: rows N and N+1 become three new
    // ones; @N marks row N and selects rows N, N+1 and N+3; u undoes, r redoes, and xN repeats
    // the next operation N times.
    QTest::addColumn<QString>("operations");
    QTest::addColumn<int>("limit");
    QTest::newRow("each command undone and redone") << "+0 +0 +1 =1 -0 ~ *0 x6 u x6 r" << 1000;
    QTest::newRow("a sort is undone by the opposite order") << "x5 +0 ~ ~ u r u u r" << 1000;
    QTest::newRow("mark and selection of each moment")
        << "x5 +0 @1 =2 @0 -3 @2 ~ u @4 u r @3 r" << 1000;
    QTest::newRow("a new step clears what could be redone") << "+0 +0 u u +0 r u u" << 1000;
    QTest::newRow("nothing to undo or redo") << "u r +0 r u u" << 1000;
    QTest::newRow("missing rows make no step") << "-0 =0 +0 -1 =1 *0 u u" << 1000;
    QTest::newRow("the oldest steps are dropped") << "x6 +0 x6 u x6 r" << 3;
    QTest::newRow("a thousand steps by default") << "x1003 +0 x1002 u x3 r" << 1000;
}

void tst_UndoHistory::matchesPlainHistory()
{
    QFETCH(QString, operations);
    QFETCH(int, limit);
    FakeListView list;
    UndoHistory history(list, size_t(limit));
    std::vector<ModelStep> steps;
    size_t done = 0;
    const auto current = [&list] { return State{list.rows, list.selectionMark, list.selection}; };
    int serial = 0;
    int repeat = 1;
    for (const QString &operation : operations.split(' ', Qt::SkipEmptyParts)) {
        const QChar kind = operation.front();
        const int at = operation.mid(1).toInt();
        if (kind == 'x') {
            repeat = at;
            continue;
        }
        for (; repeat > 0; --repeat) {
            std::vector<Row> rows = list.rows;
            const bool present = at + (kind == '*' ? 1 : 0) < int(rows.size());
            ModelStep step{{}, current(), {}};
            if (kind == 'u' || kind == 'r') {
                const bool undo = kind == 'u';
                const bool possible = undo ? done > 0 : done < steps.size();
                QCOMPARE(undo ? history.Undo() : history.Redo(), possible);
                if (possible)
                    step.before = undo ? steps[--done].before : steps[done++].after;
                QVERIFY(current() == step.before);
                rows = list.rows;
            } else if (kind == '@') {
                const RowRange selected[] = {{at, at + 1}, {at + 3, at + 3}};
                list.SelectRows(at, selected);
            } else if (kind == '+') {
                rows.insert(rows.begin() + at, MakeRow(serial));
                history.Add(at, MakeRow(serial++));
                step.name = "Add";
            } else if (kind == '~') {
                std::vector<int> order(rows.size());
                std::iota(order.begin(), order.end(), 1);
                if (!order.empty())
                    order.back() = 0;
                std::rotate(rows.begin(), rows.begin() + (rows.empty() ? 0 : 1), rows.end());
                history.Sort(order);
                step.name = "Sort";
            } else if (!present) { // nothing changes
                if (kind == '-')
                    history.Remove(at);
                else if (kind == '=')
                    history.Update(at, MakeRow(serial));
                else
                    history.ReplaceRows(at, 2, RowStore::FromRows(rows));
            } else if (kind == '=') {
                rows[size_t(at)] = MakeRow(serial);
                history.Update(at, MakeRow(serial++));
                step.name = "Update";
            } else if (kind == '-') {
                rows.erase(rows.begin() + at);
                history.Remove(at);
                step.name = "Remove";
            } else {
                const std::vector<Row> added{MakeRow(serial), MakeRow(serial + 1),
                                             MakeRow(serial + 2)};
                serial += 3;
                rows.erase(rows.begin() + at, rows.begin() + at + 2);
                rows.insert(rows.begin() + at, added.begin(), added.end());
                history.ReplaceRows(at, 2, RowStore::FromRows(added));
                step.name = "Merge";
            }
            QCOMPARE(list.rows, rows);
            if (!step.name.empty()) {
                step.after = current();
                steps.resize(done);
                steps.push_back(step);
                if (steps.size() > size_t(limit))
                    steps.erase(steps.begin());
                done = steps.size();
            }
            QCOMPARE(history.UndoText(), done > 0 ? "Undo " + steps[done - 1].name : "Undo");
            QCOMPARE(history.RedoText(), done < steps.size() ? "Redo " + steps[done].name : "Redo");
        }
        repeat = 1;
    }
}

QTEST_GUILESS_MAIN(tst_UndoHistory)
#include "tst_undohistory.moc"
