// SPDX-License-Identifier: GPL-3.0-or-later
#include "../fuzz/journalchecks.h"
#include "../fuzz/reportchecks.h"

#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

// Replays the fuzzers' seed corpus and every input a fuzzer once failed on through the same
// checks as the fuzz targets, so that those properties are checked in every test run.
class tst_FuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void journalInputsKeepProperties_data();
    void journalInputsKeepProperties();
    void reportLineInputsKeepProperties_data();
    void reportLineInputsKeepProperties();

    void journalChecksCatchFaults_data();
    void journalChecksCatchFaults();
    void reportLineChecksCatchFaults_data();
    void reportLineChecksCatchFaults();

private:
    void addInputsOf(const QString &target);

    fs::path m_fuzzFolder;
    QTemporaryDir m_scratch;
    fs::path m_startFolder;
};

void tst_FuzzRegressions::initTestCase()
{
    m_fuzzFolder = QFINDTESTDATA("../fuzz").toStdString();
    QVERIFY2(fs::is_directory(m_fuzzFolder / "corpus"), "the fuzz folder was not found");
    QVERIFY(m_scratch.isValid());
    m_startFolder = fs::current_path();
    // The journal checks read and write "pw.dat" in the working directory.
    fs::current_path(m_scratch.path().toStdString());
}

void tst_FuzzRegressions::cleanupTestCase()
{
    fs::current_path(m_startFolder);
}

void tst_FuzzRegressions::addInputsOf(const QString &target)
{
    QTest::addColumn<QString>("path");
    int added = 0;
    for (const char *kind : {"corpus", "regressions"}) {
        const fs::path folder = m_fuzzFolder / kind / target.toStdString();
        if (!fs::is_directory(folder))
            continue;
        std::vector<fs::path> files;
        for (const fs::directory_entry &file : fs::directory_iterator(folder)) {
            // Hidden files only keep an empty folder in version control.
            if (file.is_regular_file() && !file.path().filename().string().starts_with('.'))
                files.push_back(file.path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path &file : files) {
            const std::string tag = std::string(kind) + "/" + file.filename().string();
            QTest::newRow(tag.c_str()) << QString::fromStdString(file.string());
            ++added;
        }
    }
    // The seed corpus alone has a dozen inputs per target.
    QVERIFY2(added >= 10, qPrintable(QStringLiteral("too few inputs for ") + target));
}

void tst_FuzzRegressions::journalInputsKeepProperties_data()
{
    addInputsOf(QStringLiteral("fuzz_journal"));
}

void tst_FuzzRegressions::journalInputsKeepProperties()
{
    QFETCH(QString, path);
    const Text failure = fuzzchecks::CheckJournalBytes(ReadBytes(path.toStdString()));
    QVERIFY2(failure.empty(), failure.c_str());
}

void tst_FuzzRegressions::reportLineInputsKeepProperties_data()
{
    addInputsOf(QStringLiteral("fuzz_report_line"));
}

void tst_FuzzRegressions::reportLineInputsKeepProperties()
{
    QFETCH(QString, path);
    const Text failure = fuzzchecks::CheckReportLine(ReadBytes(path.toStdString()));
    QVERIFY2(failure.empty(), failure.c_str());
}

// The checks themselves must fail on wrong results, or replaying inputs through them proves
// nothing: each row gives rows as a faulty reader or writer would, against the documented ones.
void tst_FuzzRegressions::journalChecksCatchFaults_data()
{
    QTest::addColumn<Text>("savedValue");
    QTest::addColumn<Text>("wrongLoadedValue");
    QTest::addColumn<int>("column");

    QTest::newRow("date line break not protected")
        << Text("2006-09-22\nx") << Text("2006-09-22") << 0;
    QTest::newRow("title trailing space kept") << Text("Title ") << Text("Title ") << 1;
    QTest::newRow("entry CR LF not restored") << Text("a\r\nb") << Text("a<br>b") << 2;
    QTest::newRow("entry 0x1A kept") << Text("a\x1A"
                                             "b")
                                     << Text("a\x1A"
                                             "b")
                                     << 2;
}

void tst_FuzzRegressions::journalChecksCatchFaults()
{
    QFETCH(Text, savedValue);
    QFETCH(Text, wrongLoadedValue);
    QFETCH(int, column);

    Row saved{"2006-09-22", "Title", "Entry"};
    saved[column] = savedValue;
    Row wrong = saved;
    wrong[column] = wrongLoadedValue;
    const std::vector<Row> expected = fuzzchecks::RowsAfterSaveAndLoad({saved});
    QVERIFY(!fuzzchecks::CompareRows({wrong}, expected).empty());
    QVERIFY(fuzzchecks::CompareRows(LoadedRows(SavedText({saved}), EntryForm{}), expected).empty());
}

void tst_FuzzRegressions::reportLineChecksCatchFaults_data()
{
    QTest::addColumn<Text>("input");
    QTest::addColumn<Text>("wrongLine");

    QTest::newRow("placeholder left in place") << Text("<b>#DATE#</b>\x1F"
                                                       "2006-09-22")
                                               << Text("<b>#DATE#</b>");
    QTest::newRow("entry line break not shown as <br>") << Text("#ENTRY#\x1F\x1F\x1F"
                                                                "a\r\nb")
                                                        << Text("a\r\nb");
    QTest::newRow("image without >") << Text("#IMAGE#\x1F\x1F\x1F\x1Fpic.jpg") << Text("pic.jpg");
}

void tst_FuzzRegressions::reportLineChecksCatchFaults()
{
    QFETCH(Text, input);
    QFETCH(Text, wrongLine);

    const fuzzchecks::ReportLineInput parts(input);
    const std::optional<Text> expected = fuzzchecks::FilledInOnePass(parts);
    QVERIFY(expected);
    QVERIFY(*expected != wrongLine);
    QCOMPARE(parts.Fill(), expected);
}

QTEST_GUILESS_MAIN(tst_FuzzRegressions)
#include "tst_fuzzregressions.moc"
