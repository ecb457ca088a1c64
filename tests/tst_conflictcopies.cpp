// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/conflictcopies.h"
#include "support/testsupport.h"

#include <QtTest>

#include <sys/stat.h>

// Which files beside the journal are copies to merge, and which of them are journals.
class tst_ConflictCopies : public QObject
{
    Q_OBJECT

private slots:
    void findsCopiesBeside();
    void readsCopy_data();
    void readsCopy();
};

void tst_ConflictCopies::findsCopiesBeside()
{
    // Each name, and the maker found for it (-1: not a copy of "pw.dat").
    const std::pair<const char *, int> names[] = {
        {"pw.sync-conflict-20261210-101010-ABCDEFG.dat", int(CopyMaker::Syncthing)},
        {"PW.Sync-Conflict-20261210-101010-abcdefg.DAT", int(CopyMaker::Syncthing)},
        {"pw (conflicted copy 2026-12-10 101010).dat", int(CopyMaker::Nextcloud)},
        {"pw (Laptop's conflicted copy 2026-12-10).dat", int(CopyMaker::Dropbox)},
        {"pw (Laptop's conflicted copy 2026-12-10 (2)).dat", int(CopyMaker::Dropbox)},
        {"pw.changed-outside-2026-12-07-162005.dat", int(CopyMaker::ChangedOutside)},
        {"pw.saved-while-unreadable-2026-12-07-162005-2.dat", int(CopyMaker::SavedWhileUnreadable)},
        {"pw.dat", -1},
        {"pw.original-2026-12-07-162005.dat", -1},
        {"pw.sync-conflict-2026121-101010-ABCDEFG.dat", -1},
        {"pw.sync-conflict-20261210-101010-ABCDEFG.txt", -1},
        {"pwx.changed-outside-1.dat", -1},
        {"pw (conflicted copy 2026-12-10).dat", -1},
        {"pw.changed-outside-.dat", -1},
    };
    QTemporaryDir folder;
    QStringList expected; // in byte order of the names
    for (const auto &[name, maker] : names) {
        WriteBytes(folder.filePath(name).toStdString(), "");
        if (maker >= 0)
            expected << folder.filePath(name) + " " + QString::number(maker);
    }
    std::ranges::sort(expected, {}, &QString::toStdString);
    QStringList found;
    for (const CopyBeside &copy : FindCopiesBeside(folder.filePath("pw.dat").toStdString()))
        found << QString::fromStdString(copy.path) + " " + QString::number(int(copy.maker));
    QCOMPARE(found, expected);
}

void tst_ConflictCopies::readsCopy_data()
{
    QTest::addColumn<QByteArray>("bytes"); // "FIFO" and "missing" make no regular file
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("records");

    const Text written = SavedBytes({{"2024-05-02", "b", "two"}, {"2024-05-01", "a", "one"}});
    const QByteArray journal(written.data(), qsizetype(written.size()));
    QTest::newRow("a journal") << journal << int(CopyState::Journal) << 2;
    QTest::newRow("empty") << QByteArray() << int(CopyState::Journal) << 0;
    QTest::newRow("plain text") << QByteArray("Dear diary,\n") << int(CopyState::NotAJournal) << 0;
    QTest::newRow("cut short in a record")
        << journal + "DATE=2024-05-03\r\nTITLE=c\r\nENTRY=thr" << int(CopyState::NotAJournal) << 0;
    QTest::newRow("FIFO") << QByteArray("FIFO") << int(CopyState::Unreadable) << 0;
    QTest::newRow("missing") << QByteArray("missing") << int(CopyState::Unreadable) << 0;
}

void tst_ConflictCopies::readsCopy()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, state);
    QFETCH(int, records);

    QTemporaryDir folder;
    const std::string path = folder.filePath("pw.changed-outside-1.dat").toStdString();
    if (bytes == "FIFO")
        QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
    else if (bytes != "missing")
        WriteBytes(path, bytes.toStdString());

    const CopyRecords copy = ReadCopy(path);
    QCOMPARE(int(copy.state), state);
    QCOMPARE(int(copy.rows.Count()), records);
    QCOMPARE(QFileInfo::exists(QString::fromStdString(path)), bytes != "missing");
}

QTEST_GUILESS_MAIN(tst_ConflictCopies)
#include "tst_conflictcopies.moc"
