// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/versions.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

class tst_Versions : public QObject
{
    Q_OBJECT

private slots:
    void pruningKeepsNewestAndOnePerMonth_data();
    void pruningKeepsNewestAndOnePerMonth();
    void keepsTheFileAsItWasWhenStartedOnce();
    void folderNamesAreShortAndTellPathsApart();
};

namespace {
int ModeOf(const std::string &path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// "3x2" stands for three versions two months before the newest one (as month numbers); "2k" and
// "2-" for two versions kept and two removed; "k" and "-" for one.
std::vector<int> Expand(const QString &runs)
{
    std::vector<int> values;
    for (const QString &run : runs.split(' ', Qt::SkipEmptyParts)) {
        const bool months = run.contains('x');
        const int count = months           ? run.section('x', 0, 0).toInt()
                          : run.size() > 1 ? run.chopped(1).toInt()
                                           : 1;
        values.insert(values.end(), size_t(count),
                      months ? 1000 - run.section('x', 1).toInt() : int(run.back() == 'k'));
    }
    return values;
}
} // namespace

void tst_Versions::pruningKeepsNewestAndOnePerMonth_data()
{
    QTest::addColumn<QString>("rule"); // the versions, newest first, and which stay
    QTest::newRow("none") << " : ";
    QTest::newRow("twenty and fewer all stay") << "3x0 10x1 7x40 : 20k";
    QTest::newRow("beyond twenty in one month") << "23x0 : 20k 3-";
    QTest::newRow("the newest of each older month") << "20x0 3x1 2x5 : 20k k 2- k -";
    QTest::newRow("the 24th month back is too old") << "20x0 1x23 1x24 : 21k -";
    QTest::newRow("a month within the twenty keeps no more") << "19x0 3x1 : 20k 2-";
    QTest::newRow("years of sessions") << "12x0 12x1 12x2 12x30 : 20k 4- k 11- 12-";
}

void tst_Versions::pruningKeepsNewestAndOnePerMonth()
{
    QFETCH(QString, rule);
    const std::vector<bool> keep = VersionsToKeep(Expand(rule.section(':', 0, 0)));
    QCOMPARE(std::vector<int>(keep.begin(), keep.end()), Expand(rule.section(':', 1)));
}

// The copy starts from the file as it is, a save then renames a new journal into its place; the
// version holds the old bytes, is never kept twice, and the folders it needs are made private.
void tst_Versions::keepsTheFileAsItWasWhenStartedOnce()
{
    QTemporaryDir dir;
    const std::string journal = dir.filePath("pw.dat").toStdString();
    const std::string root = dir.filePath("data/lumenlog/versions").toStdString();
    const Text old = "CREATOR=PENWICK 1.0\r\nDATE=2006\r\nTITLE=\xff\r\nENTRY=a<br>b\r\n"
                     "DATE=2007\r\nTITLE=t\r\nENTRY=\r\n";
    WriteBytes(journal, old);
    const std::time_t when = 1765000000;
    VersionCopy copy(root);
    QVERIFY(copy.Start(journal, when));
    WriteBytes(journal + ".new", "CREATOR=PENWICK 1.0\r\n");
    QCOMPARE(std::rename((journal + ".new").c_str(), journal.c_str()), 0);
    copy.Wait();
    const std::optional<KeepOutcome> kept = copy.TakeOutcome();
    QVERIFY(kept && kept->result == KeepOutcome::Kept);
    QVERIFY(!copy.TakeOutcome());
    QCOMPARE(ReadBytes(kept->path), old);
    QCOMPARE(ModeOf(kept->path), 0600);
    for (const char *folder : {"data", "data/lumenlog", "data/lumenlog/versions"})
        QCOMPARE(ModeOf(dir.filePath(folder).toStdString()), 0700);

    const int fd = ::open(kept->path.c_str(), O_RDONLY);
    const KeepOutcome again = KeepVersion(fd, *JournalRealPath(journal), root, when);
    ::close(fd);
    QCOMPARE(again.result, KeepOutcome::AlreadyKept);
    QVERIFY(copy.Start(journal, when)); // other bytes, the same second
    copy.Wait();
    const std::vector<KeptVersion> versions =
        ListVersions(kept->path.substr(0, kept->path.rfind('/')));
    QCOMPARE(versions.size(), size_t(2));
    QVERIFY(versions[0].path.ends_with("-2.dat"));
    QCOMPARE(versions[1].path, kept->path);
    QCOMPARE(CountVersionEntries(versions[1].path), std::optional<size_t>(2));

    VersionCopy nowhere(journal); // a file where the folder should be
    QVERIFY(nowhere.Start(journal, when));
    nowhere.Wait();
    QCOMPARE(nowhere.TakeOutcome()->error, ENOTDIR);
}

void tst_Versions::folderNamesAreShortAndTellPathsApart()
{
    const std::string deep = "/home/ann/" + std::string(300, 'x') + "/Tageb\303\274cher/pw.dat";
    const std::string name = VersionFolderName(deep);
    QCOMPARE(name.size(), size_t(117)); // the path's last 100 bytes, '-' and the hash
    QVERIFY(name.starts_with(std::string(81, 'x') + "_Tageb__cher_pw.dat-"));
    QVERIFY(VersionFolderName("/a/b/pw.dat") != VersionFolderName("/a_b/pw.dat"));
    QVERIFY(VersionFolderName("/.hidden/pw.dat").starts_with("_hidden_pw.dat-"));
}

QTEST_GUILESS_MAIN(tst_Versions)
#include "tst_versions.moc"
