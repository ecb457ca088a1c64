// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report.h"
#include "session/stopsignals.h"
#include "support/testsupport.h"

#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using RowList = QList<QByteArrayList>;

class tst_Report : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void writesReport_data();
    void writesReport();
    void createsMissingTemplatesWhenRead_data();
    void createsMissingTemplatesWhenRead();
    void templateCopiedAsIs_data();
    void templateCopiedAsIs();
    void namesIgnoreLetterCase();
    void questionAndShell_data();
    void questionAndShell();
    void firstFailureEndsTheReport_data();
    void firstFailureEndsTheReport();
    void oversizedLineEndsTheReport();
    void stopSignalEndsTheReport();
    void largeTemplateWithFewPlaceholdersFilled();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {
struct Fixture : FakeEntries
{
    ScriptedBoxes boxes;
    RecordingShell shell;
    Report report{entries, boxes, shell};

    // As the Report button does it: ReadForm, the report, WriteForm.
    void PressReport()
    {
        entries.ReadForm();
        report.OnReport();
        entries.WriteForm();
    }
};

std::vector<Row> toRows(const RowList &list)
{
    std::vector<Row> rows;
    for (const QByteArrayList &row : list)
        rows.push_back(Row{row.value(0).toStdString(), row.value(1).toStdString(),
                           row.value(2).toStdString()});
    return rows;
}

// Writes the template when `bytes` is not null; a null array leaves the file missing.
void putFile(const char *name, const QByteArray &bytes)
{
    if (!bytes.isNull())
        WriteBytes(name, bytes.toStdString());
}

// Puts a folder, a FIFO, a sparse file of 2 GiB or a link to the device `kind` at `name`.
void putUnusable(const QString &name, const QString &kind)
{
    QFile::remove(name);
    if (kind == "folder")
        QVERIFY(QDir::current().mkdir(name));
    else if (kind == "FIFO")
        QCOMPARE(::mkfifo(qPrintable(name), 0600), 0);
    else if (kind == "2 GiB")
        QVERIFY(QFile(name).open(QIODevice::WriteOnly) && QFile::resize(name, qint64(2) << 30));
    else
        QCOMPARE(::symlink(qPrintable(kind), qPrintable(name)), 0);
}

QStringList filesInWorkingDirectory()
{
    return QDir::current().entryList(QDir::Files | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot,
                                     QDir::Name);
}

const Text question = "Your Entries Have Been Written.\nYour report was written to:\nReport.htm"
                      "\nWould you like to view it now?"
                      "\n\nTo customize the reports, please add a header.htm and footer.htm";
} // namespace

void tst_Report::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void tst_Report::writesReport_data()
{
    QTest::addColumn<QByteArray>("header"); // null: no such file
    QTest::addColumn<QByteArray>("lineTemplate");
    QTest::addColumn<QByteArray>("footer");
    QTest::addColumn<RowList>("rows");
    QTest::addColumn<QByteArray>("imagePath");
    QTest::addColumn<QByteArray>("report");

    const QByteArray none;
    const RowList two{{"2006-09-22", "Top", "one"}, {"2006-09-21", "Bottom", "two"}};

    QTest::newRow("no templates, empty list")
        << none << none << none << RowList{} << QByteArray() << QByteArray("");
    QTest::newRow("no templates, two entries, top first")
        << none << none << none << two << QByteArray()
        << QByteArray("<b>2006-09-22 - Top</b><br>one<br><hr>"
                      "<b>2006-09-21 - Bottom</b><br>two<br><hr>");
    QTest::newRow("empty templates as missing ones")
        << QByteArray("") << QByteArray("") << QByteArray("") << RowList{{"d", "t", "e"}}
        << QByteArray() << QByteArray("<b>d - t</b><br>e<br><hr>");
    QTest::newRow("two-line entry")
        << none << QByteArray("#ENTRY#") << none << RowList{{"d", "t", "a\r\nb"}} << QByteArray()
        << QByteArray("a<br>b");
    QTest::newRow("image empty vanishes")
        << none << QByteArray("[#IMAGE#]") << none << two << QByteArray() << QByteArray("[][]");
    QTest::newRow("image set on every line")
        << none << QByteArray("<img src=#IMAGE#") << none << two << QByteArray("pic.jpg")
        << QByteArray("<img src=pic.jpg><img src=pic.jpg>");
    QTest::newRow("line break only")
        << none << QByteArray("\r\n") << none << two << QByteArray() << QByteArray("\r\n\r\n");
    QTest::newRow("lower-case placeholders unchanged")
        << none << QByteArray("#date##Title##entry##image#|#DATE#") << none
        << RowList{{"d", "t", "e"}} << QByteArray("p")
        << QByteArray("#date##Title##entry##image#|d");
    QTest::newRow("placeholders in header and footer copied")
        << QByteArray("<h1>#DATE#</h1>") << QByteArray("#TITLE#") << QByteArray("#ENTRY#") << two
        << QByteArray() << QByteArray("<h1>#DATE#</h1>TopBottom#ENTRY#");
    QTest::newRow("CR LF templates keep CR LF")
        << QByteArray("<html>\r\n<body>\r\n") << QByteArray("<p>#TITLE#</p>\r\n")
        << QByteArray("</body>\r\n</html>\r\n") << RowList{{"d", "t", "e"}} << QByteArray()
        << QByteArray("<html>\r\n<body>\r\n<p>t</p>\r\n</body>\r\n</html>\r\n");
    QTest::newRow("LF templates get CR LF, lone CR stays")
        << QByteArray("a\nb\rc") << none << QByteArray("\n") << RowList{} << QByteArray()
        << QByteArray("a\r\nb\rc\r\n");
    QTest::newRow("0x1A ends a template")
        << QByteArray("head\x1atail") << QByteArray("#DATE#\x1a#TITLE#") << none
        << RowList{{"d", "t", "e"}} << QByteArray() << QByteArray("headd");
    QTest::newRow("title holding #ENTRY# receives the entry")
        << none << QByteArray("#TITLE#") << none << RowList{{"d", "see #ENTRY#!", "x\r\ny"}}
        << QByteArray() << QByteArray("see x<br>y!");
    QTest::newRow("inserted text not searched again by its own step")
        << none << QByteArray("#DATE#|#ENTRY#|#IMAGE#") << none
        << RowList{{"#DATE#", "t", "#ENTRY#"}} << QByteArray("#IMAGE#")
        << QByteArray("#DATE#|#ENTRY#|#IMAGE#>");
    QTest::newRow("date holding #TITLE# receives the title")
        << none << QByteArray("#DATE#") << none << RowList{{"#TITLE#", "t", "e"}} << QByteArray()
        << QByteArray("t");
    QTest::newRow("HTML in entries passes through")
        << none << QByteArray("#TITLE#:#ENTRY#") << none << RowList{{"d", "<i>a&b</i>", "1 < 2"}}
        << QByteArray() << QByteArray("<i>a&b</i>:1 < 2");
}

void tst_Report::writesReport()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, lineTemplate);
    QFETCH(QByteArray, footer);
    QFETCH(RowList, rows);
    QFETCH(QByteArray, imagePath);
    QFETCH(QByteArray, report);

    putFile("Header.htm", header);
    putFile("ReportLine.htm", lineTemplate);
    putFile("Footer.htm", footer);
    WriteBytes("Report.htm", "an older report, longer than any new one");
    Fixture f;
    f.list.rows = toRows(rows);
    const std::vector<Row> rowsBefore = f.list.rows;
    const EntryForm typed{"typed date", "typed title", "typed\r\nentry", 7,
                          imagePath.toStdString()};
    f.exchange.controls = typed;
    f.PressReport();

    QCOMPARE(QByteArray::fromStdString(ReadBytes("Report.htm")), report);
    QCOMPARE(f.list.rows, rowsBefore);
    const EntryForm &shown = f.exchange.controls;
    QCOMPARE(shown.Date, typed.Date);
    QCOMPARE(shown.Title, typed.Title);
    QCOMPARE(shown.Entry, typed.Entry);
    QCOMPARE(shown.ImagePath, typed.ImagePath);
    QCOMPARE(shown.EntryCount, typed.EntryCount);
    QCOMPARE(f.boxes.shown.size(), size_t(1)); // only the closing question
}

void tst_Report::createsMissingTemplatesWhenRead_data()
{
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("empty list") << 0 << QStringList{"Footer.htm", "Header.htm", "Report.htm"};
    QTest::newRow("one entry") << 1
                               << QStringList{"Footer.htm", "Header.htm", "Report.htm",
                                              "ReportLine.htm"};
}

void tst_Report::createsMissingTemplatesWhenRead()
{
    QFETCH(int, rowCount);
    QFETCH(QStringList, files);
    Fixture f;
    f.list.rows.assign(size_t(rowCount), Row{"d", "t", "e"});
    f.PressReport();
    QCOMPARE(filesInWorkingDirectory(), files);
    for (const char *name : {"Header.htm", "Footer.htm"})
        QCOMPARE(ReadBytes(name), std::string());
    if (rowCount > 0)
        QCOMPARE(ReadBytes("ReportLine.htm"), std::string());
    QCOMPARE(QFileInfo("Header.htm").permissions() & (QFile::ReadOther | QFile::WriteOther),
             QFile::Permissions());
}

void tst_Report::templateCopiedAsIs_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("stored"); // LF becomes CR LF, all else as it is

    QByteArray binary;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != 0x1A && byte != '\r') // CR before LF would merge with it on reading
            binary += char(byte);
    }
    QByteArray storedBinary = binary;
    storedBinary.replace('\n', "\r\n");
    const QByteArray large(3 * 1024 * 1024 + 17, 'x');

    QTest::newRow("binary bytes") << binary << storedBinary;
    QTest::newRow("large, no line end") << large << large;
    QTest::newRow("one byte, no line end") << QByteArray("<") << QByteArray("<");
}

void tst_Report::templateCopiedAsIs()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, stored);
    // As header, as line template for one entry, and as footer.
    putFile("Header.htm", bytes);
    putFile("ReportLine.htm", bytes);
    putFile("Footer.htm", bytes);
    Fixture f;
    f.list.rows = {Row{"d", "t", "e"}};
    f.PressReport();
    QCOMPARE(QByteArray::fromStdString(ReadBytes("Report.htm")), stored + stored + stored);
}

void tst_Report::namesIgnoreLetterCase()
{
    putFile("header.htm", "H");
    putFile("REPORTLINE.HTM", "[#TITLE#]");
    putFile("footer.HTM", "F");
    putFile("report.htm", "old report");
    Fixture f;
    f.list.rows = {Row{"d", "one", "e"}, Row{"d", "two", "e"}};
    f.boxes.answers = {AnswerYes};
    f.PressReport();
    QCOMPARE(filesInWorkingDirectory(),
             (QStringList{"REPORTLINE.HTM", "footer.HTM", "header.htm", "report.htm"}));
    QCOMPARE(ReadBytes("report.htm"), std::string("H[one][two]F"));
    // The desktop is asked for the file that was written, not for a missing one.
    QCOMPARE(f.shell.opened, std::vector<Text>{"report.htm"});
}

void tst_Report::questionAndShell_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<std::vector<Text>>("opened");
    QTest::newRow("yes opens the report") << int(AnswerYes) << std::vector<Text>{"Report.htm"};
    QTest::newRow("no opens nothing") << int(AnswerNo) << std::vector<Text>{};
}

void tst_Report::questionAndShell()
{
    QFETCH(int, answer);
    QFETCH(std::vector<Text>, opened);
    putFile("Report.htm", "old"); // with both names present, the exact one is used throughout
    putFile("report.htm", "other");
    Fixture f;
    f.list.rows = {Row{"d", "t", "e"}};
    f.boxes.answers = {answer};
    f.PressReport();
    QCOMPARE(ReadBytes("report.htm"), std::string("other"));
    QCOMPARE(f.boxes.shown.size(), size_t(1));
    const ShownBox &box = f.boxes.shown.front();
    QCOMPARE(box.text, question);
    QCOMPARE(box.type, BoxYesNo);
    QVERIFY(box.application);
    QCOMPARE(f.shell.opened, opened);
}

void tst_Report::firstFailureEndsTheReport_data()
{
    QTest::addColumn<QString>("broken"); // the file made unusable
    QTest::addColumn<QString>("kind");   // see putUnusable
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QByteArray>("box"); // the one box shown

    const QByteArray load = "Error loading file";
    const QByteArray write = "Could not write to log file";
    QTest::newRow("report a folder, even empty") << QString("Report.htm") << "folder" << 0 << write;
    const QString header = "Header.htm";
    for (const char *kind : {"FIFO", "folder", "/dev/zero"}) // never waited for
        QTest::addRow("header a %s", kind) << header << kind << 2 << load;
    for (const char *name : {"ReportLine.htm", "Footer.htm"})
        QTest::addRow("%s a FIFO", name) << name << "FIFO" << 2 << load;
    QTest::newRow("header of 2 GiB") << header << "2 GiB" << 2
                                     << load + "\n\nHeader.htm is larger than 8 MiB, more than "
                                               "any template needs; it is not read.";
}

// One box, no offer to view a report that is not whole, and the previous report as it was.
void tst_Report::firstFailureEndsTheReport()
{
    QFETCH(QString, broken);
    QFETCH(QString, kind);
    QFETCH(int, rowCount);
    QFETCH(QByteArray, box);
    for (const char *name : {"Header.htm", "ReportLine.htm", "Footer.htm", "Report.htm"})
        putFile(name, "T");
    putUnusable(broken, kind);
    Fixture f;
    f.list.rows.assign(size_t(rowCount), Row{"d", "t", "e"});
    f.PressReport();
    QCOMPARE(f.boxes.shown.size(), size_t(1));
    QCOMPARE(f.boxes.shown.front().text, box.toStdString());
    QCOMPARE(f.boxes.shown.front().caption,
             std::string(box.startsWith("Error loading") ? "Error" : "Error Log"));
    if (broken != "Report.htm")
        QCOMPARE(ReadBytes("Report.htm"), std::string("T"));
}

// A title of a thousand "#ENTRY#" and an entry of 1 MiB would make a line of 1000 MiB: it
// cannot be written, and the report ends there.
void tst_Report::oversizedLineEndsTheReport()
{
    putFile("Report.htm", "previous report");
    Text title;
    for (int i = 0; i < 1000; ++i)
        title += "#ENTRY#";
    Fixture f;
    f.list.rows = {Row{"1", "a", "x"}, Row{"2", title, Text(1 << 20, 'e')}, Row{"3", "c", "z"}};
    f.PressReport();
    QCOMPARE(ReadBytes("Report.htm"), std::string("previous report"));
    QCOMPARE(f.boxes.shown.size(), size_t(1));
    QCOMPARE(f.boxes.shown.front().text, std::string("Could not write to log file"));
}

// SIGTERM while a message about the header is open: nothing more is written or asked.
void tst_Report::stopSignalEndsTheReport()
{
    QVERIFY(InstallStopSignalHandlers() >= 0);
    QVERIFY(QDir::current().mkdir("Header.htm"));
    struct SignallingBoxes : MessageBoxes
    {
        ScriptedBoxes recorded;
        int DialogBox(const Text &text, const Text &caption, BoxType type) override
        {
            ::raise(SIGTERM);
            return recorded.DialogBox(text, caption, type);
        }
        int AppBox(const Text &text, BoxType type) override { return recorded.AppBox(text, type); }
        int ChoiceBox(const Text &text, const Text &caption, const Text &a, const Text &b) override
        {
            return recorded.ChoiceBox(text, caption, a, b);
        }
    } boxes;
    FakeEntries entries;
    entries.list.rows = {Row{"d", "t", "e"}};
    RecordingShell shell;
    Report report(entries.entries, boxes, shell);
    report.OnReport();
    QVERIFY(StopSignalReceived());
    QCOMPARE(boxes.recorded.shown.size(), size_t(1));
    QCOMPARE(boxes.recorded.shown.front().text, std::string("Error loading file"));
    QCOMPARE(ReadBytes("Report.htm"), std::string());
    QVERIFY(InstallStopSignalHandlers() >= 0); // forgets the signal for the tests after this
}

// Only the worst case of a 1 MiB template would pass the line limit; its one placeholder does not.
void tst_Report::largeTemplateWithFewPlaceholdersFilled()
{
    const Text filler(1 << 20, '.');
    putFile("ReportLine.htm", QByteArray::fromStdString(filler + "#ENTRY#"));
    Fixture f;
    f.list.rows = {Row{"1", "a", Text(4096, 'e')}};
    f.PressReport();
    QVERIFY(ReadBytes("Report.htm") == filler + Text(4096, 'e'));
    QCOMPARE(f.boxes.shown.size(), size_t(1));
}

QTEST_GUILESS_MAIN(tst_Report)
#include "tst_report.moc"
