// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/textfile.h"
#include "entries/entrylist.h"
#include "journal/besidefile.h"
#include "journal/journalfile.h"
#include "journal/journalformat.h"
#include "journal/safesave.h"
#include "journal/versions.h"
#include "support/scopedtimezone.h"
#include "support/testsupport.h"

#include <QtTest>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <latch>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::string_literals;
namespace fs = std::filesystem;

using Rows = std::vector<Row>;
Q_DECLARE_METATYPE(Rows)

class tst_Journal : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadsRecords_data();
    void loadsRecords();
    void loadMatchesRecordByRecordInsertion_data();
    void loadMatchesRecordByRecordInsertion();
    void loadStartsFromFormTexts_data();
    void loadStartsFromFormTexts();
    void loadEndsWithEmptyFormAndCount();
    void missingJournalIsCreatedEmpty();
    void largeAndGarbageInputsLoad_data();
    void largeAndGarbageInputsLoad();
    void parseGivesUpBeyondBudget_data();
    void parseGivesUpBeyondBudget();

    void savesFormat_data();
    void savesFormat();
    void saveEndsWithEmptyFormAndCount();
    void saveThenLoadGivesSameList_data();
    void saveThenLoadGivesSameList();
    void loadThenSaveKeepsBytes_data();
    void loadThenSaveKeepsBytes();
    void protectsValuesOnSave_data();
    void protectsValuesOnSave();

    void mixedCaseJournalIsUsedAndKept();
    void symlinkStaysAndTargetIsReplaced();
    void permissionsAreKept();

    void injectedSaveFailureKeepsJournal_data();
    void injectedSaveFailureKeepsJournal();
    void interruptedSaveKeepsJournalAndItsLeftoverIsRemovedLater();
    void saveFailsOverDirectory();
    void saveFailsInRemovedFolder();
    void saveFailsAtFileSizeLimit_data();
    void saveFailsAtFileSizeLimit();
    void saveRefusesDevice();
    void unreadableJournalIsLeftUntouched_data();
    void unreadableJournalIsLeftUntouched();
    void withoutPermissions_data();
    void withoutPermissions();
    void partlyLoadedJournalIsCopiedBeforeAnySave();

    void backgroundSaveWritesWhatTheCloseSaveWould();
    void saveStillWritingAtCloseFinishesFirst();
    void failedBackgroundSaveTellsOnceAndRetries();
    void journalAsItWasIsKeptBeforeTheFirstSave_data();
    void journalAsItWasIsKeptBeforeTheFirstSave();
    void outsideChangeIsKeptBeforeTheSave_data();
    void outsideChangeIsKeptBeforeTheSave();
    void outsideChangeWhileTheSaveWritesIsKept();
    void failureMadeGoodWhileABoxIsOpenShowsNoBox();
    void namesBesideTheJournal_data();
    void namesBesideTheJournal();
    void filesBesideTheJournalNeverOverwrite();
    void hardLinkedJournalIsSavedInPlace();
    void ownerOfTheJournalIsKept();

private:
    QTemporaryDir *m_dir = nullptr;
    QString m_previousDir;
};

namespace {

const Text creator = "CREATOR=PENWICK 1.0";
const Text errorText = "Save to File";
const Text errorCaption = "Error Writing File";

struct Fixture : FakeEntries
{
    ScriptedBoxes boxes;
    JournalFile journal{entries, boxes};

    Fixture() { entries.SetupColumns(); }
    bool showedSaveError() const
    {
        return boxes.shown.size() == 1 && boxes.shown[0].text == errorText &&
               boxes.shown[0].caption == errorCaption && boxes.shown[0].type == BoxOk &&
               !boxes.shown[0].application;
    }
};

QByteArray bytes(const Text &text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

Text text(const QByteArray &array)
{
    return Text(array.constData(), size_t(array.size()));
}

// One record as the writer stores it, CR LF line ends included.
Text record(const Text &date, const Text &title, const Text &entry)
{
    return "\r\nDATE=" + date + "\r\nTITLE=" + title + "\r\nENTRY=" + entry + "\r\n";
}

Rows sampleRows(int count, size_t entrySize = 40)
{
    Rows rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(Row{"2006-09-" + std::to_string(10 + i % 20), "Title " + std::to_string(i),
                           Text(entrySize, char('a' + i % 26))});
    return rows;
}

std::vector<std::string> directoryEntries()
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator("."))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The load done literally record by record: each record gathered in the form fields and
// inserted at the top, the columns sized and the rows counted each time, as a reference for the
// batched load.
void LoadRecordByRecord(EntryList &entries, const Text &fileText)
{
    EntryForm &form = entries.Form();
    const auto insertFormAtTop = [&] {
        entries.WriteForm();
        entries.ReadForm();
        entries.List().InsertRow(0, RowView{{form.Date, form.Title, form.Entry}});
        entries.AutoSizeColumns();
        entries.RecountEntries();
    };
    entries.ReadForm();
    Text line;
    int i = 0;
    for (char byte : fileText) {
        line += byte;
        if (byte != '\n')
            continue;
        const Text copy(WithoutTrailingWhiteSpace(line));
        line.clear();
        const size_t equals = copy.find('=');
        const Text key = copy.substr(0, equals);
        Text value = equals == Text::npos ? Text() : copy.substr(equals + 1);
        if (key == "DATE") {
            if (i > 0 && !form.Date.empty())
                insertFormAtTop();
            form.Date = value;
        } else if (key == "TITLE") {
            form.Title = value;
        } else if (key == "ENTRY") {
            ReplaceAll(value, "<br>", "\r\n");
            form.Entry = value;
        }
        ++i;
    }
    if (!form.Date.empty())
        insertFormAtTop();
    entries.OnClear();
    entries.WriteForm();
}

Text ReadTextMode(const std::string &name)
{
    Text content;
    ReadWholeFile(name, content);
    ToTextModeText(content);
    return content;
}

void compareForms(const EntryForm &actual, const EntryForm &expected)
{
    QCOMPARE(actual.Date, expected.Date);
    QCOMPARE(actual.Title, expected.Title);
    QCOMPARE(actual.Entry, expected.Entry);
    QCOMPARE(actual.EntryCount, expected.EntryCount);
    QCOMPARE(actual.ImagePath, expected.ImagePath);
}

// The files beside the journal whose names carry `label`.
std::vector<std::string> filesLabelled(const std::string &label)
{
    std::vector<std::string> found;
    for (const std::string &name : directoryEntries())
        if (name.starts_with("pw." + label + "-") && name.ends_with(".dat"))
            found.push_back(name);
    return found;
}

ino_t inodeOf(const char *path)
{
    struct stat info;
    return ::stat(path, &info) == 0 ? info.st_ino : 0;
}

// Fails chosen system calls of a safe save.
class FailingCalls : public SaveCalls
{
public:
    int failingWrite = 0; // 1 for the first write; 0 fails none
    bool failAllWrites = false;
    bool failSync = false;
    bool failRename = false;
    std::function<void()> onWrite;
    int writes = 0;

    ssize_t Write(int fd, const void *data, size_t size) override
    {
        if (onWrite)
            onWrite();
        if (++writes == failingWrite || failAllWrites) {
            errno = ENOSPC;
            return -1;
        }
        return SaveCalls::Write(fd, data, size);
    }
    int Sync(int fd) override
    {
        if (failSync) {
            errno = EIO;
            return -1;
        }
        return SaveCalls::Sync(fd);
    }
    int Rename(const char *from, const char *to) override
    {
        if (failRename) {
            errno = EXDEV;
            return -1;
        }
        return SaveCalls::Rename(from, to);
    }
};

// A save in a forked child starts a thread (the copy of a version), which ThreadSanitizer cannot
// follow in a child of a process that has threads: those tests are about files, not threads.
#if defined(__SANITIZE_THREAD__)
#define SKIP_UNDER_THREAD_SANITIZER() QSKIP("a save in a forked child under ThreadSanitizer")
#else
#define SKIP_UNDER_THREAD_SANITIZER()
#endif

// Runs `child` in a forked process and returns its exit status (-1 when it did not exit).
int RunInChild(const std::function<int()> &child)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(child());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

mode_t modeOf(const char *path)
{
    struct stat info;
    return ::stat(path, &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

void tst_Journal::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void tst_Journal::cleanup()
{
    QDir::setCurrent(m_previousDir);
    delete m_dir;
    m_dir = nullptr;
}

void tst_Journal::loadsRecords_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Rows>("expected");

    const Row a{"2006-09-22", "A", "first"};
    const Row b{"2006-09-23", "B", "second"};
    const Row c{"2006-09-24", "C", "third"};
    const Text abc = creator + record("2006-09-24", "C", "third") +
                     record("2006-09-23", "B", "second") + record("2006-09-22", "A", "first");
    Text lfOnly = abc;
    ReplaceAll(lfOnly, "\r\n", "\n");
    Text crOnly = abc;
    ReplaceAll(crOnly, "\r\n", "\r");

    QTest::newRow("empty file") << QByteArray() << Rows{};
    QTest::newRow("stored bottom first") << bytes(abc) << Rows{a, b, c};
    QTest::newRow("no creator line") << bytes(abc.substr(creator.size())) << Rows{a, b, c};
    QTest::newRow("other first line")
        << bytes("HELLO" + abc.substr(creator.size())) << Rows{a, b, c};
    QTest::newRow("LF-only line ends") << bytes(lfOnly) << Rows{a, b, c};
    QTest::newRow("CR-only line ends load nothing") << bytes(crOnly) << Rows{};
    QTest::newRow("0x1A ends file")
        << bytes(creator + record("1", "t", "e") + "\x1A" + record("2", "u", "f"))
        << Rows{{"1", "t", "e"}};
    QTest::newRow("0x1A inside last line loses the line")
        << bytes("DATE=1\r\nTITLE=t\r\nENTRY=e\r\nDATE=2\r\nTITLE=u\r\nENTRY=f\x1A\r\n")
        << Rows{{"2", "u", "e"}, {"1", "t", "e"}};
    QTest::newRow("no final line end keeps the record")
        << bytes("DATE=1\r\nTITLE=t\r\nENTRY=e\r\nDATE=2\r\nTITLE=u\r\nENTRY=f")
        << Rows{{"2", "u", "e"}, {"1", "t", "e"}};
    QTest::newRow("only a DATE without line end") << QByteArray("DATE=1") << Rows{};
    QTest::newRow("empty date not added, its texts carry over")
        << bytes("DATE=\r\nTITLE=t\r\nENTRY=e\r\nDATE=2\r\n") << Rows{{"2", "t", "e"}};
    QTest::newRow("missing title taken from record before")
        << bytes("DATE=1\r\nTITLE=t\r\nENTRY=e\r\nDATE=2\r\nENTRY=f\r\n")
        << Rows{{"2", "t", "f"}, {"1", "t", "e"}};
    QTest::newRow("bare keys act with empty values")
        << bytes("DATE=1\r\nTITLE=t\r\nENTRY=e\r\nDATE\r\nTITLE \r\nENTRY\t\r\n")
        << Rows{{"1", "t", "e"}};
    QTest::newRow("bare DATE closes the record, later date reopens")
        << bytes("DATE=1\r\nTITLE=t\r\nDATE\r\nTITLE\r\nDATE=2\r\n")
        << Rows{{"2", "", ""}, {"1", "t", ""}};
    QTest::newRow("lower-case key skipped") << bytes("date=1\r\nDATE=2\r\n") << Rows{{"2", "", ""}};
    QTest::newRow("space before key skipped")
        << bytes(" DATE=1\r\nDATE=2\r\n") << Rows{{"2", "", ""}};
    QTest::newRow("space before = skipped")
        << bytes("DATE =1\r\nDATE=2\r\n") << Rows{{"2", "", ""}};
    QTest::newRow("trailing white space removed")
        << bytes("DATE=1 \t\r\nTITLE=t \v\f\r\r\nENTRY=e<br> \r\n") << Rows{{"1", "t", "e\r\n"}};
    QTest::newRow("leading space and no-break space stay")
        << bytes("DATE= 1\xA0\r\nTITLE=  t\r\n") << Rows{{" 1\xA0", "  t", ""}};
    QTest::newRow("later = kept in value")
        << bytes("DATE=1\r\nTITLE=a=b=\r\nENTRY==\r\n") << Rows{{"1", "a=b=", "="}};
    QTest::newRow("<br> is a line break in entry only")
        << bytes("DATE=1\r\nTITLE=a<br>b\r\nENTRY=x<br>y<BR>z<br\r\n")
        << Rows{{"1", "a<br>b", "x\r\ny<BR>z<br"}};
    QTest::newRow("lone CR and NUL inside values kept")
        << bytes("DATE=1\r2\r\nTITLE=a\0b\r\nENTRY=\rx\r\n"s) << Rows{{"1\r2", "a\0b"s, "\rx"}};
    QTest::newRow("DATE on the first line opens a record")
        << bytes("DATE=1\r\nDATE=2\r\n") << Rows{{"2", "", ""}, {"1", "", ""}};
    QTest::newRow("only = and NUL bytes") << bytes("=\0=\r\n\0\0\r\n==\0\r\n\0"s) << Rows{};
}

void tst_Journal::loadsRecords()
{
    QFETCH(QByteArray, file);
    QFETCH(Rows, expected);
    WriteBytes("pw.dat", text(file));
    Fixture f;
    f.journal.LoadJournal();
    QCOMPARE(f.list.rows, expected);
    QVERIFY(f.boxes.shown.empty());
    QCOMPARE(ReadBytes("pw.dat"), text(file));
}

void tst_Journal::loadMatchesRecordByRecordInsertion_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("sample journal")
        << bytes(creator + record("2006-09-24", "a much longer title than the others", "x<br>y") +
                 record("2006-09-23", "B", "a long entry text that is the widest of all"));
    QTest::newRow("no records") << QByteArray("CREATOR=PENWICK 1.0\r\nTITLE=t\r\n");
    QTest::newRow("starts with DATE") << QByteArray("DATE=1\r\nDATE\r\nDATE=2\r\nTITLE=x");
    // Random files from the format's own pieces, so that keys, values and line ends meet in
    // every order.
    const std::vector<Text> pieces = {"DATE", "TITLE", "ENTRY", "=",      "<br>", "\r\n",
                                      "\n",   "\r",    " ",     "\t",     "\x1A", "a",
                                      "bb",   "\0"s,   "\xE9",  "CREATOR"};
    std::mt19937 random(20060922);
    for (int file = 0; file < 60; ++file) {
        Text content;
        const int count = int(random() % 120);
        for (int i = 0; i < count; ++i)
            content += pieces[random() % pieces.size()];
        QTest::addRow("random %d", file) << bytes(content);
    }
}

void tst_Journal::loadMatchesRecordByRecordInsertion()
{
    QFETCH(QByteArray, file);
    WriteBytes("pw.dat", text(file));
    // Rows already in the list, and form texts the gathering starts from.
    const auto prepare = [](Fixture &f) {
        f.list.rows = {Row{"2001-01-01", "kept", "below"}};
        f.exchange.controls = EntryForm{"0000", "start title", "start entry", 7, "image.png"};
    };
    Fixture batched;
    prepare(batched);
    batched.journal.LoadJournal();
    Fixture reference;
    prepare(reference);
    LoadRecordByRecord(reference.entries, ReadTextMode("pw.dat"));

    QCOMPARE(batched.list.rows, reference.list.rows);
    QCOMPARE(batched.list.widths, reference.list.widths);
    compareForms(batched.form, reference.form);
    compareForms(batched.exchange.controls, reference.exchange.controls);
}

void tst_Journal::loadStartsFromFormTexts_data()
{
    QTest::addColumn<QByteArray>("startDate");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Rows>("expected");
    QTest::newRow("title and entry carry into first record")
        << QByteArray() << QByteArray("CREATOR=PENWICK 1.0\r\nDATE=1\r\n")
        << Rows{{"1", "T0", "E0"}};
    QTest::newRow("form date committed by a DATE after the first line")
        << QByteArray("D0") << QByteArray("\r\nDATE=1\r\n")
        << Rows{{"1", "T0", "E0"}, {"D0", "T0", "E0"}};
    QTest::newRow("form date not committed by a DATE on the first line")
        << QByteArray("D0") << QByteArray("DATE=1\r\n") << Rows{{"1", "T0", "E0"}};
    QTest::newRow("form date alone is committed at the end")
        << QByteArray("D0") << QByteArray("TITLE=t\r\n") << Rows{{"D0", "t", "E0"}};
}

void tst_Journal::loadStartsFromFormTexts()
{
    QFETCH(QByteArray, startDate);
    QFETCH(QByteArray, file);
    QFETCH(Rows, expected);
    WriteBytes("pw.dat", text(file));
    Fixture f;
    f.exchange.controls.Date = text(startDate);
    f.exchange.controls.Title = "T0";
    f.exchange.controls.Entry = "E0";
    f.journal.LoadJournal();
    QCOMPARE(f.list.rows, expected);
}

void tst_Journal::loadEndsWithEmptyFormAndCount()
{
    WriteBytes("pw.dat", creator + record("1", "t", "e") + record("2", "u", "f"));
    Fixture f;
    f.exchange.controls.Title = "typed";
    f.exchange.controls.ImagePath = "picture.png";
    f.journal.LoadJournal();
    QCOMPARE(f.list.rows.size(), size_t(2));
    compareForms(f.exchange.controls, EntryForm{"", "", "", 2, "picture.png"});
    compareForms(f.form, f.exchange.controls);
    // One column sizing for the whole load.
    QCOMPARE(f.list.redrawOffCount, 2);
}

void tst_Journal::missingJournalIsCreatedEmpty()
{
    Fixture f;
    f.journal.LoadJournal();
    QVERIFY(f.list.rows.empty());
    QCOMPARE(f.form.EntryCount, 0);
    QVERIFY(f.boxes.shown.empty());
    QVERIFY(fs::is_regular_file("pw.dat"));
    QCOMPARE(int(fs::file_size("pw.dat")), 0);
    QCOMPARE(modeOf("pw.dat"), mode_t(0600));
}

void tst_Journal::largeAndGarbageInputsLoad_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<qsizetype>("entrySize");

    const qsizetype large = 200 * 1024 * 1024;
    QTest::newRow("200 MB single line") << "DATE=1\r\nENTRY=" + QByteArray(large, 'x') + "\r\n"
                                        << 1 << large;
    QTest::newRow("200 MB without line end")
        << "DATE=1\r\nENTRY=" + QByteArray(large, 'x') << 1 << qsizetype(0);
    QByteArray garbage(4 * 1024 * 1024, '\0');
    std::mt19937 random(7);
    for (char &byte : garbage)
        byte = char(random());
    // Random bytes hold 0x1A within the first few hundred; let the garbage run on.
    garbage.replace('\x1A', '\x1B');
    QTest::newRow("binary garbage") << garbage << 0 << qsizetype(0);
    QTest::newRow("only = and NUL, no line end")
        << QByteArray("=\0", 2).repeated(1 << 20) << 0 << qsizetype(0);
}

void tst_Journal::largeAndGarbageInputsLoad()
{
    QFETCH(QByteArray, file);
    QFETCH(int, rowCount);
    QFETCH(qsizetype, entrySize);
    WriteBytes("pw.dat", text(file));
    file.clear();
    Fixture f;
    f.journal.LoadJournal();
    QCOMPARE(int(f.list.rows.size()), rowCount);
    if (rowCount > 0)
        QCOMPARE(qsizetype(f.list.rows[0][2].size()), entrySize);
}

void tst_Journal::parseGivesUpBeyondBudget_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("rowCount");
    QTest::newRow("records of their own")
        << QByteArray("CREATOR=x\nDATE=1\nTITLE=ab\nENTRY=c<br>d\nDATE=22\nTITLE=e\n") << 2;
    QTest::newRow("entry carried over")
        << QByteArray("DATE=1\nENTRY=long text\nDATE=2\nDATE=3\nDATE=4\n") << 4;
    QTest::newRow("bytes after the last line end") << QByteArray("DATE=1\nTITLE=t\nDATE=2") << 1;
}

// The budget counts the bytes of every row's three texts: exactly that many are allowed.
void tst_Journal::parseGivesUpBeyondBudget()
{
    QFETCH(QByteArray, file);
    QFETCH(int, rowCount);
    const Rows rows = LoadedRows(text(file), EntryForm{});
    QCOMPARE(int(rows.size()), rowCount);
    size_t bytesOfRows = 0;
    for (const Row &row : rows)
        bytesOfRows += row[0].size() + row[1].size() + row[2].size();
    const std::optional<RowStore> within =
        ParseJournalRows(Text(text(file)), EntryForm{}, bytesOfRows);
    QVERIFY(within.has_value());
    QVERIFY(RowsOf(*within) == rows);
    QVERIFY(!ParseJournalRows(Text(text(file)), EntryForm{}, bytesOfRows - 1).has_value());
}

void tst_Journal::savesFormat_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("empty list gives zero bytes") << Rows{} << QByteArray();
    QTest::newRow("one row")
        << Rows{{"2006-09-22", "Title", "Text"}}
        << QByteArray("CREATOR=PENWICK 1.0\r\nDATE=2006-09-22\r\nTITLE=Title\r\nENTRY=Text\r\n");
    QTest::newRow("bottom row first")
        << Rows{{"3", "A", "a"}, {"2", "B", "b"}, {"1", "C", "c"}}
        << bytes(creator + record("1", "C", "c") + record("2", "B", "b") + record("3", "A", "a"));
    QTest::newRow("entry line breaks as <br>, title kept")
        << Rows{{"1", "a<br>b", "x\r\ny\r\n"}}
        << bytes(creator + record("1", "a<br>b", "x<br>y<br>"));
    QTest::newRow("empty title and entry")
        << Rows{{"1", "", ""}} << bytes(creator + record("1", "", ""));
}

void tst_Journal::savesFormat()
{
    QFETCH(Rows, rows);
    QFETCH(QByteArray, file);
    WriteBytes("pw.dat", "an older, longer journal that must disappear entirely");
    Fixture f;
    f.list.rows = rows;
    f.journal.SaveJournal();
    QVERIFY(f.boxes.shown.empty());
    QCOMPARE(bytes(ReadBytes("pw.dat")), file);
    QCOMPARE(f.list.rows, rows);
    QCOMPARE(directoryEntries(), (std::vector<std::string>{"pw.dat"}));
}

void tst_Journal::saveEndsWithEmptyFormAndCount()
{
    Fixture f;
    f.list.rows = sampleRows(3);
    f.exchange.controls = EntryForm{"d", "t", "e", 0, "picture.png"};
    f.journal.SaveJournal();
    compareForms(f.exchange.controls, EntryForm{"", "", "", 3, "picture.png"});
    compareForms(f.form, f.exchange.controls);
    QCOMPARE(f.list.rows, sampleRows(3));
}

void tst_Journal::saveThenLoadGivesSameList_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::newRow("empty") << Rows{};
    QTest::newRow("many") << sampleRows(50);
    QTest::newRow("line breaks, lone CR, = and NUL")
        << Rows{{"2006-09-22", "a=b", "one\r\ntwo\r\n\r\nthree"},
                {"2006-09-21", "x\ry", "a\rb=\0c"s},
                {"2006-09-20", "  leading", "\r\nstarts with a break"}};
    QTest::newRow("UTF-8") << Rows{
        {"2006-09-22", "caf\xC3\xA9", "\xE6\x97\xA5\xE8\xA8\x98 \xF0\x9F\x98\x80"}};
    QTest::newRow("Windows-1252") << Rows{{"2006-09-22", "caf\xE9", "\x80\x81\x9D\xFF"}};
    QTest::newRow("same date and title twice") << Rows{{"1", "t", "a"}, {"1", "t", "a"}};
}

void tst_Journal::saveThenLoadGivesSameList()
{
    QFETCH(Rows, rows);
    {
        Fixture f;
        f.list.rows = rows;
        f.journal.SaveJournal();
    }
    Fixture f;
    f.journal.LoadJournal();
    QCOMPARE(f.list.rows, rows);
    QCOMPARE(f.form.EntryCount, int(rows.size()));
}

void tst_Journal::loadThenSaveKeepsBytes_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("records") << bytes(creator + record("2006-09-24", "C", "x<br>y") +
                                      record("2006-09-23", "", ""));
    QTest::newRow("UTF-8") << bytes(
        creator + record("2006-09-24", "caf\xC3\xA9", "\xF0\x9F\x98\x80<br>\xE6\x97\xA5"));
    QTest::newRow("Windows-1252") << bytes(
        creator + record("2006-09-24", "caf\xE9", "na\xEFve<br>\x93quoted\x94"));
}

void tst_Journal::loadThenSaveKeepsBytes()
{
    QFETCH(QByteArray, file);
    WriteBytes("pw.dat", text(file));
    Fixture f;
    f.journal.LoadJournal();
    f.journal.NoteChange();
    f.journal.SaveJournal();
    QCOMPARE(bytes(ReadBytes("pw.dat")), file);
}

void tst_Journal::protectsValuesOnSave_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Rows>("loaded");
    QTest::newRow("lone LF in entry becomes <br>")
        << Rows{{"1", "t", "a\nb\r\nc"}} << bytes(creator + record("1", "t", "a<br>b<br>c"))
        << Rows{{"1", "t", "a\r\nb\r\nc"}};
    QTest::newRow("line breaks in title become spaces")
        << Rows{{"1", "a\r\nb\nc", "e"}} << bytes(creator + record("1", "a b c", "e"))
        << Rows{{"1", "a b c", "e"}};
    QTest::newRow("line break in date becomes a space")
        << Rows{{"2006\r\n09", "t", "e"}} << bytes(creator + record("2006 09", "t", "e"))
        << Rows{{"2006 09", "t", "e"}};
    QTest::newRow("0x1A left out of every value")
        << Rows{{"1\x1A", "t\x1Au",
                 "\x1A"
                 "e"},
                {"2", "last", "row"}}
        << bytes(creator + record("2", "last", "row") + record("1", "tu", "e"))
        << Rows{{"1", "tu", "e"}, {"2", "last", "row"}};
    QTest::newRow("0x1A between CR and LF leaves the CR alone")
        << Rows{{"1", "a\r\x1A\nb", "c\r\x1A\nd"}}
        << bytes(creator + record("1", "a\r b", "c\r<br>d")) << Rows{{"1", "a\r b", "c\r\r\nd"}};
    QTest::newRow("lone CR kept") << Rows{{"1", "a\rb", "c\rd"}}
                                  << bytes(creator + record("1", "a\rb", "c\rd"))
                                  << Rows{{"1", "a\rb", "c\rd"}};
}

void tst_Journal::protectsValuesOnSave()
{
    QFETCH(Rows, rows);
    QFETCH(QByteArray, file);
    QFETCH(Rows, loaded);
    {
        Fixture f;
        f.list.rows = rows;
        f.journal.SaveJournal();
        QCOMPARE(f.list.rows, rows);
    }
    QCOMPARE(bytes(ReadBytes("pw.dat")), file);
    Fixture f;
    f.journal.LoadJournal();
    QCOMPARE(f.list.rows, loaded);
}

void tst_Journal::mixedCaseJournalIsUsedAndKept()
{
    WriteBytes("PW.DAT", creator + record("1", "t", "e"));
    Fixture f;
    f.journal.LoadJournal();
    QCOMPARE(f.list.rows, (Rows{{"1", "t", "e"}}));
    f.list.rows.push_back(Row{"0", "older", "x"});
    f.journal.NoteChange();
    f.journal.SaveJournal();
    QCOMPARE(directoryEntries(), (std::vector<std::string>{"PW.DAT"}));
    QCOMPARE(ReadBytes("PW.DAT"), creator + record("0", "older", "x") + record("1", "t", "e"));
}

void tst_Journal::symlinkStaysAndTargetIsReplaced()
{
    fs::create_directories("store");
    WriteBytes("store/journal.txt", creator + record("1", "t", "e"));
    fs::create_symlink("store/journal.txt", "pw.dat");
    Fixture f;
    f.journal.LoadJournal();
    QCOMPARE(f.list.rows.size(), size_t(1));
    f.list.rows[0][1] = "changed";
    f.journal.NoteChange();
    f.journal.SaveJournal();
    QVERIFY(f.boxes.shown.empty());
    QVERIFY(fs::is_symlink("pw.dat"));
    QCOMPARE(fs::read_symlink("pw.dat"), fs::path("store/journal.txt"));
    QCOMPARE(ReadBytes("store/journal.txt"), creator + record("1", "changed", "e"));
    QCOMPARE(int(std::distance(fs::directory_iterator("store"), fs::directory_iterator())), 1);
}

void tst_Journal::permissionsAreKept()
{
    WriteBytes("pw.dat", "");
    QCOMPARE(::chmod("pw.dat", 0640), 0);
    Fixture f;
    f.list.rows = sampleRows(2);
    f.journal.SaveJournal();
    QCOMPARE(modeOf("pw.dat"), mode_t(0640));

    fs::remove("pw.dat");
    f.journal.SaveJournal();
    QCOMPARE(modeOf("pw.dat"), mode_t(0600));
}

void tst_Journal::injectedSaveFailureKeepsJournal_data()
{
    QTest::addColumn<int>("failingWrite");
    QTest::addColumn<bool>("failSync");
    QTest::addColumn<bool>("failRename");
    QTest::newRow("first write") << 1 << false << false;
    QTest::newRow("write after others succeeded") << 3 << false << false;
    QTest::newRow("fsync") << 0 << true << false;
    QTest::newRow("rename") << 0 << false << true;
}

void tst_Journal::injectedSaveFailureKeepsJournal()
{
    QFETCH(int, failingWrite);
    QFETCH(bool, failSync);
    QFETCH(bool, failRename);
    const Text old = creator + record("1", "old", "journal");
    WriteBytes("pw.dat", old);
    FailingCalls calls;
    calls.failingWrite = failingWrite;
    calls.failSync = failSync;
    calls.failRename = failRename;
    Fixture f;
    JournalFile journal(f.entries, f.boxes, calls);
    journal.LoadJournal();
    // Large enough for several writes.
    f.list.rows = sampleRows(2000, 400);
    journal.NoteChange();
    journal.SaveJournal();
    QVERIFY(f.showedSaveError());
    QCOMPARE(ReadBytes("pw.dat"), old);
    QCOMPARE(directoryEntries(), (std::vector<std::string>{"pw.dat"}));
    QCOMPARE(f.list.rows.size(), size_t(2000));
    if (failingWrite > 1)
        QCOMPARE(calls.writes, failingWrite);
}

void tst_Journal::interruptedSaveKeepsJournalAndItsLeftoverIsRemovedLater()
{
    SKIP_UNDER_THREAD_SANITIZER();
    const Text old = creator + record("1", "old", "journal");
    WriteBytes("pw.dat", old);
    // The process dies in the middle of writing the new journal.
    const int status = RunInChild([] {
        FailingCalls calls;
        calls.onWrite = [&calls] {
            if (calls.writes == 2)
                ::raise(SIGKILL);
        };
        Fixture f;
        JournalFile journal(f.entries, f.boxes, calls);
        f.list.rows = sampleRows(2000, 400);
        journal.SaveJournal();
        return 0;
    });
    QCOMPARE(status, -1);
    QCOMPARE(ReadBytes("pw.dat"), old);

    // Its temporary file is left; names that only look like one, older versions' included, are
    // not ours to remove.
    std::vector<std::string> lookAlikes = {".pw.dat.backup", ".pw.dat.old123",
                                           "pw.dat.lumenlog-save-ab12Cd",
                                           ".other.lumenlog-save-ab12Cd"};
    for (const char *tail : {"ab12C", "ab12Cde", "ab-12C"})
        lookAlikes.push_back(std::string(".pw.dat.lumenlog-save-") + tail);
    for (const std::string &name : lookAlikes)
        WriteBytes(name, "not a journal's");
    fs::create_directory(".pw.dat.lumenlog-save-Folder");
    const size_t before = directoryEntries().size();
    QCOMPARE(before, lookAlikes.size() + 3);
    QCOMPARE(RemoveLeftoverTemporaryFiles("pw.dat"), 1);
    QCOMPARE(directoryEntries().size(), before - 1);
    QCOMPARE(ReadBytes("pw.dat"), old);
    for (const std::string &name : lookAlikes)
        QVERIFY(fs::exists(name));
}

void tst_Journal::saveFailsOverDirectory()
{
    Fixture f;
    f.journal.LoadJournal();
    fs::remove("pw.dat");
    fs::create_directory("pw.dat");
    WriteBytes("pw.dat/inside", "kept");
    f.list.rows = sampleRows(3);
    f.journal.NoteChange();
    f.journal.SaveJournal();
    QVERIFY(f.showedSaveError());
    QVERIFY(fs::is_directory("pw.dat"));
    QCOMPARE(ReadBytes("pw.dat/inside"), "kept"s);
    QCOMPARE(directoryEntries(), (std::vector<std::string>{"pw.dat"}));
}

void tst_Journal::saveFailsInRemovedFolder()
{
    fs::create_directory("gone");
    QVERIFY(QDir::setCurrent(QStringLiteral("gone")));
    Fixture f;
    f.journal.LoadJournal();
    fs::remove_all(fs::path(m_dir->path().toStdString()) / "gone");
    f.list.rows = sampleRows(3);
    f.journal.NoteChange();
    f.journal.SaveJournal();
    QVERIFY(f.showedSaveError());
}

void tst_Journal::saveFailsAtFileSizeLimit_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::newRow("new file renamed into place") << false;
    QTest::newRow("written in place (a second hard link)") << true;
}

// Over the limit, the in-place write fails before it has overwritten anything.
void tst_Journal::saveFailsAtFileSizeLimit()
{
    QFETCH(bool, inPlace);
    const Text old = creator + record("1", "old", "journal");
    WriteBytes("pw.dat", old);
    if (inPlace)
        fs::create_hard_link("pw.dat", "link.dat");
    Fixture f;
    f.journal.LoadJournal();
    f.list.rows = sampleRows(1000, 400);

    rlimit previous;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 100000;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    f.journal.NoteChange();
    f.journal.SaveJournal();
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(f.showedSaveError());
    QCOMPARE(ReadBytes("pw.dat"), old);
    QCOMPARE(directoryEntries(), inPlace ? (std::vector<std::string>{"link.dat", "pw.dat"})
                                         : (std::vector<std::string>{"pw.dat"}));
}

void tst_Journal::saveRefusesDevice()
{
    Fixture f;
    f.journal.LoadJournal();
    fs::remove("pw.dat");
    fs::create_symlink("/dev/full", "pw.dat");
    f.list.rows = sampleRows(3);
    f.journal.NoteChange();
    f.journal.SaveJournal();
    QVERIFY(f.showedSaveError());
    QVERIFY(fs::is_symlink("pw.dat"));
    QVERIFY(fs::is_character_file("/dev/full"));
}

void tst_Journal::unreadableJournalIsLeftUntouched_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder named pw.dat") << QStringLiteral("folder");
    QTest::newRow("FIFO named pw.dat") << QStringLiteral("fifo");
    QTest::newRow("link to an endless device") << QStringLiteral("device");
    QTest::newRow("one text carried over to many records") << QStringLiteral("multiplying");
}

void tst_Journal::unreadableJournalIsLeftUntouched()
{
    QFETCH(QString, kind);
    Text multiplying;
    if (kind == QLatin1String("folder")) {
        fs::create_directory("pw.dat");
        WriteBytes("pw.dat/inside", "kept");
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo("pw.dat", 0600), 0);
    } else if (kind == QLatin1String("multiplying")) {
        // 1 MiB of text, then a hundred records that each carry it over: rows of 100 MiB.
        multiplying = "DATE=1\r\nENTRY=" + Text(1 << 20, 'x') + "\r\n";
        for (int i = 0; i < 100; ++i)
            multiplying += "DATE=2\r\n";
        WriteBytes("pw.dat", multiplying);
    } else {
        fs::create_symlink("/dev/zero", "pw.dat");
    }
    const fs::file_status before = fs::symlink_status("pw.dat");
    Fixture f;
    f.journal.LoadJournal();
    QVERIFY(f.list.rows.empty());
    QVERIFY(f.boxes.shown.empty()); // said once the window is there
    QVERIFY(f.journal.JournalUnreadable());
    f.journal.AnnounceUnreadableJournal();
    QCOMPARE(f.boxes.shown.size(), size_t(1));
    QCOMPARE(f.boxes.shown[0].caption, Text("Journal Not Read"));

    // Nothing entered: nothing to keep, so no file is made and nothing more is said.
    f.journal.SaveJournal();
    QCOMPARE(f.boxes.shown.size(), size_t(1));
    QCOMPARE(directoryEntries(), (std::vector<std::string>{"pw.dat"}));

    // The first save chooses a file beside the journal; later ones rewrite that same file.
    f.list.rows = sampleRows(3);
    f.journal.NoteChange();
    QVERIFY(f.journal.StartBackgroundSave(nullptr));
    f.journal.FinishBackgroundSave();
    const std::vector<std::string> aside = filesLabelled("saved-while-unreadable");
    QCOMPARE(aside.size(), size_t(1));
    QCOMPARE(ReadBytes(aside[0]), SavedBytes(sampleRows(3)));
    f.list.rows = sampleRows(5);
    f.journal.NoteChange();
    f.journal.SaveJournal();
    QCOMPARE(filesLabelled("saved-while-unreadable"), aside);
    QCOMPARE(ReadBytes(aside[0]), SavedBytes(sampleRows(5)));
    QCOMPARE(directoryEntries().size(), size_t(2));
    QCOMPARE(f.boxes.shown.size(), size_t(2));
    QCOMPARE(f.boxes.shown[1].caption, Text("Journal Not Read"));
    QVERIFY(f.boxes.shown[1].text.find(aside[0]) != Text::npos);

    QCOMPARE(fs::symlink_status("pw.dat").type(), before.type());
    if (kind == QLatin1String("folder"))
        QCOMPARE(ReadBytes("pw.dat/inside"), "kept"s);
    if (kind == QLatin1String("multiplying"))
        QVERIFY(ReadBytes("pw.dat") == multiplying);
}

void tst_Journal::withoutPermissions_data()
{
    QTest::addColumn<bool>("journalExists");
    QTest::addColumn<mode_t>("journalMode");
    QTest::addColumn<mode_t>("folderMode");
    QTest::addColumn<bool>("loadsRows");
    QTest::addColumn<QString>("savedTo");     // "journal", "beside" it, or nowhere ("")
    QTest::addColumn<QByteArray>("unloaded"); // lines of the journal the list does not hold
    QTest::newRow("journal without read permission")
        << true << mode_t(0) << mode_t(0777) << false << "beside" << QByteArray();
    QTest::newRow("read-only folder, journal missing")
        << false << mode_t(0) << mode_t(0555) << false << "" << QByteArray();
    QTest::newRow("read-only folder, writable journal: written in place")
        << true << mode_t(0666) << mode_t(0555) << true << "journal" << QByteArray();
    // No copy of it can be kept beside it, so it is kept as it is.
    QTest::newRow("read-only folder, writable journal with a line the list lacks")
        << true << mode_t(0666) << mode_t(0555) << true << "" << QByteArray("Note\r\n");
    QTest::newRow("read-only journal")
        << true << mode_t(0444) << mode_t(0777) << true << "" << QByteArray();
    QTest::newRow("writable journal and folder")
        << true << mode_t(0666) << mode_t(0777) << true << "journal" << QByteArray();
}

// Runs as an unprivileged user when the tests run as root, since root may read and write
// regardless of permissions.
void tst_Journal::withoutPermissions()
{
    SKIP_UNDER_THREAD_SANITIZER();
    QFETCH(bool, journalExists);
    QFETCH(mode_t, journalMode);
    QFETCH(mode_t, folderMode);
    QFETCH(bool, loadsRows);
    QFETCH(QString, savedTo);
    QFETCH(QByteArray, unloaded);
    const Text old = creator + record("1", "old", "journal") + text(unloaded);
    fs::create_directory("locked");
    if (journalExists) {
        WriteBytes("locked/pw.dat", old);
        QCOMPARE(::chmod("locked/pw.dat", journalMode), 0);
    }
    QCOMPARE(::chmod(m_dir->path().toLocal8Bit().constData(), 0755), 0);
    QCOMPARE(::chmod("locked", folderMode), 0);
    const ino_t inode = inodeOf("locked/pw.dat");

    // Exit status: bit 0 rows loaded, bit 1 a box at load, bit 2 the save error box, bit 3
    // the box that names the file beside the journal.
    const int status = RunInChild([] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 100;
        if (::chdir("locked") != 0)
            return 101;
        Fixture f;
        f.journal.LoadJournal();
        int result = f.list.rows.empty() ? 0 : 1;
        result |= f.boxes.shown.empty() ? 0 : 2;
        f.list.rows = sampleRows(2);
        f.journal.NoteChange();
        f.journal.SaveJournal();
        const bool named =
            !f.boxes.shown.empty() && f.boxes.shown.back().caption == "Journal Not Read";
        return result | (f.showedSaveError() ? 4 : 0) | (named ? 8 : 0);
    });
    ::chmod("locked", 0755);
    ::chmod("locked/pw.dat", 0600); // readable here also when these tests do not run as root

    QCOMPARE(status,
             (loadsRows ? 1 : 0) | (savedTo.isEmpty() ? 4 : 0) | (savedTo == "beside" ? 8 : 0));
    const Text saved = SavedBytes(sampleRows(2));
    if (savedTo == "journal")
        QCOMPARE(ReadBytes("locked/pw.dat"), saved);
    else if (journalExists)
        QCOMPARE(ReadBytes("locked/pw.dat"), old);
    else
        QVERIFY(!fs::exists("locked/pw.dat"));
    // A journal of another user's (root's, when the tests run as root) is written in place to
    // keep its owner; its owner's own save in a writable folder replaces it with a new file.
    const bool replaced = savedTo == "journal" && folderMode == 0777 && ::geteuid() != 0;
    if (journalExists && !replaced)
        QCOMPARE(inodeOf("locked/pw.dat"), inode);
    std::vector<std::string> others;
    for (const auto &entry : fs::directory_iterator("locked"))
        if (entry.path().filename() != "pw.dat")
            others.push_back(entry.path().string());
    QCOMPARE(others.size(), size_t(savedTo == "beside" ? 1 : 0));
    if (savedTo == "beside")
        QCOMPARE(ReadBytes(others[0]), saved);
}

// A journal of lines whose ends are CR alone loads nothing, and the save would empty it: the file
// as it was is copied beside it first, and the box that tells so names the copy.
void tst_Journal::partlyLoadedJournalIsCopiedBeforeAnySave()
{
    const Text crOnly = "CREATOR=PENWICK 1.0\rDATE=1\rTITLE=a\rENTRY=b\r";
    WriteBytes("pw.dat", crOnly);
    Fixture f;
    f.journal.LoadJournal();
    QVERIFY(f.journal.JournalPartlyLoaded());
    const std::vector<std::string> kept = filesLabelled("original");
    QCOMPARE(kept.size(), size_t(1));
    QCOMPARE(ReadBytes(kept[0]), crOnly);
    QCOMPARE(modeOf(kept[0].c_str()), mode_t(0600));
    QVERIFY(f.boxes.shown.empty()); // said once the window is there
    f.journal.AnnouncePartlyLoadedJournal();
    QCOMPARE(f.boxes.shown.size(), size_t(1));
    QCOMPARE(f.boxes.shown[0].caption, Text("Journal Partly Loaded"));
    QCOMPARE(f.boxes.shown[0].text,
             "43 of the 43 bytes in pw.dat could not be loaded into the list: text after the "
             "last line end. pw.dat as it was is kept in " +
                 kept[0] + "; pw.dat itself will hold the entries shown here.");

    f.journal.NoteChange();
    f.journal.SaveJournal();
    QCOMPARE(ReadBytes("pw.dat"), Text());
    QCOMPARE(f.boxes.shown.size(), size_t(1));
    // What this program saved is loaded whole: no second copy.
    Fixture again;
    again.journal.LoadJournal();
    QVERIFY(!again.journal.JournalPartlyLoaded());
    QCOMPARE(filesLabelled("original"), kept);
    QCOMPARE(directoryEntries().size(), size_t(2));
}

void tst_Journal::backgroundSaveWritesWhatTheCloseSaveWould()
{
    WriteBytes("pw.dat", creator + record("1", "old", "journal"));
    FailingCalls calls; // counts the writes
    Fixture f;
    JournalFile journal(f.entries, f.boxes, calls);
    journal.LoadJournal();
    f.list.rows = sampleRows(300);
    journal.NoteChange();
    std::atomic<bool> finished = false;
    QVERIFY(journal.StartBackgroundSave([&] { finished = true; }));
    QVERIFY(!journal.StartBackgroundSave(nullptr)); // one at a time
    QTRY_VERIFY(finished);
    journal.FinishBackgroundSave();
    QCOMPARE(ReadBytes("pw.dat"), SavedBytes(sampleRows(300)));
    QVERIFY(!journal.ChangedSinceLastSave());
    QVERIFY(!journal.StartBackgroundSave(nullptr)); // nothing new to write

    // The close then finds the journal as it was written and writes nothing.
    const int writes = calls.writes;
    journal.SaveJournal();
    QCOMPARE(calls.writes, writes);
    QVERIFY(f.boxes.shown.empty());
    QCOMPARE(ReadBytes("pw.dat"), SavedBytes(sampleRows(300)));
    QCOMPARE(directoryEntries(), (std::vector<std::string>{"pw.dat"}));
}

void tst_Journal::saveStillWritingAtCloseFinishesFirst()
{
    // The background save's first write waits until the close begins.
    std::latch closeBegins(1);
    FailingCalls slowDisk;
    slowDisk.onWrite = [&closeBegins] { closeBegins.wait(); };
    Fixture f;
    JournalFile journal(f.entries, f.boxes, slowDisk);
    journal.LoadJournal();
    f.list.rows = sampleRows(2000, 400); // several writes
    journal.NoteChange();
    QVERIFY(journal.StartBackgroundSave(nullptr));
    f.list.rows = sampleRows(3);
    journal.NoteChange();
    closeBegins.count_down();
    journal.SaveJournal(); // at once, while the first is still writing
    QVERIFY(!journal.BackgroundSaveRunning());
    QCOMPARE(ReadBytes("pw.dat"), SavedBytes(sampleRows(3)));
    QVERIFY(f.boxes.shown.empty());
    QCOMPARE(directoryEntries(), (std::vector<std::string>{"pw.dat"}));
}

void tst_Journal::journalAsItWasIsKeptBeforeTheFirstSave_data()
{
    QTest::addColumn<bool>("usable"); // the versions' folder can be made
    QTest::newRow("kept once") << true;
    QTest::newRow("cannot be kept: saved all the same, said once") << false;
}

// Three saves of a session, of which the first fails: the journal as it was is kept once, by
// the first save that replaces it.
void tst_Journal::journalAsItWasIsKeptBeforeTheFirstSave()
{
    QFETCH(bool, usable);
    const Text old = creator + record("1", "old", "journal");
    WriteBytes("pw.dat", old);
    WriteBytes("file", "");
    FailingCalls fullDisk;
    fullDisk.failAllWrites = true;
    Fixture f;
    JournalFile journal(f.entries, f.boxes, fullDisk, usable ? "versions" : "file/versions");
    journal.LoadJournal();
    for (int rows = 1; rows <= 3; ++rows) {
        f.list.rows = sampleRows(rows);
        journal.NoteChange();
        QVERIFY(journal.StartBackgroundSave(nullptr));
        journal.FinishBackgroundSave();
        fullDisk.failAllWrites = false;
    }
    journal.SaveJournal();
    QCOMPARE(ReadBytes("pw.dat"), SavedBytes(sampleRows(3)));
    const std::vector<KeptVersion> kept =
        ListVersions("versions/" + VersionFolderName(*JournalRealPath("pw.dat")));
    QCOMPARE(kept.size(), size_t(usable ? 1 : 0));
    if (usable)
        QCOMPARE(ReadBytes(kept[0].path), old);
    QCOMPARE(f.boxes.shown.size(), size_t(usable ? 1 : 2));
    QCOMPARE(f.boxes.shown.back().caption, Text(usable ? errorCaption : "Version Not Kept"));
}

void tst_Journal::failedBackgroundSaveTellsOnceAndRetries()
{
    const Text old = creator + record("1", "old", "journal");
    WriteBytes("pw.dat", old);
    FailingCalls fullDisk;
    fullDisk.failAllWrites = true;
    Fixture f;
    JournalFile journal(f.entries, f.boxes, fullDisk);
    journal.LoadJournal();
    const auto changeAndSave = [&](int rows) {
        f.list.rows = sampleRows(rows);
        journal.NoteChange();
        QVERIFY(journal.StartBackgroundSave(nullptr));
        journal.FinishBackgroundSave();
    };
    changeAndSave(1);
    changeAndSave(2);
    QVERIFY(f.showedSaveError()); // once for both
    QCOMPARE(ReadBytes("pw.dat"), old);

    fullDisk.failAllWrites = false; // room again: the next change saves everything
    changeAndSave(3);
    QCOMPARE(f.boxes.shown.size(), size_t(1));
    QCOMPARE(ReadBytes("pw.dat"), SavedBytes(sampleRows(3)));

    fullDisk.failAllWrites = true; // full again: said again, and at close as well
    changeAndSave(4);
    QCOMPARE(f.boxes.shown.size(), size_t(2));
    journal.SaveJournal();
    QCOMPARE(f.boxes.shown.size(), size_t(3));
    QCOMPARE(f.boxes.shown[2].text, errorText);
    QCOMPARE(ReadBytes("pw.dat"), SavedBytes(sampleRows(3)));
    QCOMPARE(f.list.rows, sampleRows(4));
}

void tst_Journal::outsideChangeIsKeptBeforeTheSave_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("kept");
    QTest::newRow("appended by an editor") << "append" << true;
    QTest::newRow("replaced by a sync tool") << "replace" << true;
    QTest::newRow("touched: same bytes, later time") << "touch" << false;
    QTest::newRow("touched after this program's own save") << "touch after save" << false;
    QTest::newRow("appended after this program's own save") << "append after save" << true;
    QTest::newRow("deleted") << "delete" << false;
    QTest::newRow("not changed") << "none" << false;
    QTest::newRow("only this program's own save") << "save" << false;
}

void tst_Journal::outsideChangeIsKeptBeforeTheSave()
{
    QFETCH(QString, change);
    QFETCH(bool, kept);
    Text outside = creator + record("1", "old", "journal");
    WriteBytes("pw.dat", outside);
    Fixture f;
    f.journal.LoadJournal();
    if (change.endsWith("save")) { // written in many pieces, which the hash must not mind
        f.list.rows = sampleRows(2000, 400);
        f.journal.NoteChange();
        f.journal.SaveJournal();
        outside = SavedBytes(sampleRows(2000, 400));
    }
    if (change.startsWith("append")) {
        outside += record("2", "from", "elsewhere");
        std::ofstream(std::string("pw.dat"), std::ios::binary | std::ios::app)
            << record("2", "from", "elsewhere");
    } else if (change == "replace") {
        outside = creator + record("3", "synced", "in");
        WriteBytes("pw.dat.sync", outside);
        fs::rename("pw.dat.sync", "pw.dat");
    } else if (change.startsWith("touch")) {
        const timeval later[2] = {{0, 0}, {::time(nullptr) + 10, 0}};
        QCOMPARE(::utimes("pw.dat", later), 0);
    } else if (change == "delete") {
        fs::remove("pw.dat");
    }
    f.boxes.shown.clear();
    f.list.rows = sampleRows(2);
    f.journal.NoteChange();
    f.journal.SaveJournal();

    QCOMPARE(ReadBytes("pw.dat"), SavedBytes(sampleRows(2)));
    const std::vector<std::string> keptFiles = filesLabelled("changed-outside");
    QCOMPARE(keptFiles.size(), size_t(kept ? 1 : 0));
    QCOMPARE(directoryEntries().size(), size_t(kept ? 2 : 1));
    QCOMPARE(f.boxes.shown.size(), size_t(kept ? 1 : 0));
    if (kept) {
        QCOMPARE(ReadBytes(keptFiles[0]), outside);
        QCOMPARE(f.boxes.shown[0].caption, Text("Journal Changed Outside"));
        QVERIFY(f.boxes.shown[0].text.find(keptFiles[0]) != Text::npos);
        // Kept once: the next save finds the journal as this program wrote it.
        f.list.rows = sampleRows(3);
        f.journal.NoteChange();
        f.journal.SaveJournal();
        QCOMPARE(filesLabelled("changed-outside"), keptFiles);
        QCOMPARE(f.boxes.shown.size(), size_t(1));
    }
}

// Another program writes while the save is held in its first write, its new file half made.
void tst_Journal::outsideChangeWhileTheSaveWritesIsKept()
{
    const Text old = creator + record("1", "old", "journal");
    for (const bool byRename : {false, true}) {
        WriteBytes("pw.dat", old);
        FailingCalls calls;
        calls.onWrite = [&] {
            if (calls.writes == 0) // in place, or renamed into place
                WriteBytes(byRename ? "pw.dat.sync" : "pw.dat", old + "more");
            if (calls.writes == 0 && byRename)
                fs::rename("pw.dat.sync", "pw.dat");
        };
        Fixture f;
        JournalFile journal(f.entries, f.boxes, calls);
        journal.LoadJournal();
        f.list.rows = sampleRows(3);
        journal.NoteChange();
        journal.SaveJournal();
        QCOMPARE(ReadBytes("pw.dat"), SavedBytes(sampleRows(3)));
        const std::vector<std::string> kept = filesLabelled("changed-outside");
        QCOMPARE(kept.size(), size_t(1));
        QCOMPARE(ReadBytes(kept[0]), old + "more");
        QCOMPARE(f.boxes.shown.size(), size_t(1));
    }
}

// A save fails after keeping an outside version; while that box is open a newer save succeeds.
// The older failure is then past: no "Save to File" box.
void tst_Journal::failureMadeGoodWhileABoxIsOpenShowsNoBox()
{
    WriteBytes("pw.dat", creator + record("1", "old", "journal"));
    FailingCalls calls;
    calls.failRename = true;
    Fixture f;
    JournalFile journal(f.entries, f.boxes, calls);
    journal.LoadJournal();
    std::ofstream("pw.dat", std::ios::binary | std::ios::app) << record("2", "from", "elsewhere");
    const auto save = [&](int rows) {
        f.list.rows = sampleRows(rows);
        journal.NoteChange();
        QVERIFY(journal.StartBackgroundSave(nullptr));
        journal.FinishBackgroundSave();
    };
    f.boxes.whileShown = [&] {
        calls.failRename = false;
        save(2);
    };
    save(1);
    QCOMPARE(f.boxes.shown.size(), size_t(1));
    QCOMPARE(f.boxes.shown[0].caption, Text("Journal Changed Outside"));
    QCOMPARE(ReadBytes("pw.dat"), SavedBytes(sampleRows(2)));
}

void tst_Journal::namesBesideTheJournal_data()
{
    QTest::addColumn<QString>("journal");
    QTest::addColumn<int>("attempt");
    QTest::addColumn<QString>("expected");
    QTest::newRow("pw.dat") << "pw.dat" << 1 << "pw.changed-outside-2026-12-07-162005.dat";
    QTest::newRow("name taken twice")
        << "pw.dat" << 3 << "pw.changed-outside-2026-12-07-162005-3.dat";
    QTest::newRow("upper case") << "PW.DAT" << 1 << "PW.changed-outside-2026-12-07-162005.DAT";
    QTest::newRow("in a folder") << "a.b/pw.dat" << 1
                                 << "a.b/pw.changed-outside-2026-12-07-162005.dat";
    QTest::newRow("no ending") << "journal" << 1 << "journal.changed-outside-2026-12-07-162005";
    QTest::newRow("hidden, no ending") << ".pw" << 1 << ".pw.changed-outside-2026-12-07-162005";
}

void tst_Journal::namesBesideTheJournal()
{
    QFETCH(QString, journal);
    QFETCH(int, attempt);
    QFETCH(QString, expected);
    ScopedTimeZone zone("Europe/Berlin");
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 7;
    local.tm_hour = 16;
    local.tm_min = 20;
    local.tm_sec = 5;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    QCOMPARE(
        QString::fromStdString(NameBeside(journal.toStdString(), "changed-outside", when, attempt)),
        expected);
}

void tst_Journal::filesBesideTheJournalNeverOverwrite()
{
    const std::time_t when = std::time(nullptr);
    WriteBytes("pw.dat", "the journal");
    WriteBytes(NameBeside("pw.dat", "copy", when), "taken");
    const std::optional<std::string> copy = CopyFileBeside("pw.dat", "pw.dat", "copy", when);
    QVERIFY(copy.has_value());
    QCOMPARE(*copy, NameBeside("pw.dat", "copy", when, 2));
    QCOMPARE(ReadBytes(*copy), "the journal"s);
    QCOMPARE(modeOf(copy->c_str()), mode_t(0600));
    QCOMPARE(ReadBytes(NameBeside("pw.dat", "copy", when)), "taken"s);
    const std::optional<std::string> created = CreateFileBeside("pw.dat", "copy", when);
    QVERIFY(created.has_value());
    QCOMPARE(*created, NameBeside("pw.dat", "copy", when, 3));

    // A FIFO where the file was is not copied (and the copy does not wait for a writer).
    QCOMPARE(::mkfifo("fifo.dat", 0600), 0);
    QVERIFY(!CopyFileBeside("fifo.dat", "pw.dat", "copy", when).has_value());
    QCOMPARE(directoryEntries().size(), size_t(5));
}

void tst_Journal::hardLinkedJournalIsSavedInPlace()
{
    WriteBytes("pw.dat", creator + record("1", "old", "journal"));
    fs::create_directory("other");
    fs::create_hard_link("pw.dat", "other/pw.dat");
    const ino_t inode = inodeOf("pw.dat");
    Fixture f;
    f.journal.LoadJournal();
    for (int rows : {2, 5, 1}) { // growing and shrinking
        f.list.rows = sampleRows(rows);
        f.journal.NoteChange();
        f.journal.SaveJournal();
        QCOMPARE(ReadBytes("pw.dat"), SavedBytes(sampleRows(rows)));
        QCOMPARE(inodeOf("pw.dat"), inode);
        QCOMPARE(ReadBytes("other/pw.dat"), SavedBytes(sampleRows(rows)));
    }
    QVERIFY(f.boxes.shown.empty()); // its own saves in place are no outside change
    QCOMPARE(directoryEntries(), (std::vector<std::string>{"other", "pw.dat"}));
}

void tst_Journal::ownerOfTheJournalIsKept()
{
    if (::geteuid() != 0)
        QSKIP("only root can save a journal that belongs to another user");
    WriteBytes("pw.dat", creator + record("1", "old", "journal"));
    QCOMPARE(::chown("pw.dat", 65534, 65534), 0);
    QCOMPARE(::chmod("pw.dat", 0640), 0);
    Fixture f;
    f.journal.LoadJournal();
    f.list.rows = sampleRows(2);
    f.journal.NoteChange();
    f.journal.SaveJournal();
    QCOMPARE(ReadBytes("pw.dat"), SavedBytes(sampleRows(2)));
    struct stat info;
    QCOMPARE(::stat("pw.dat", &info), 0);
    QCOMPARE(info.st_uid, uid_t(65534));
    QCOMPARE(info.st_gid, gid_t(65534));
    QCOMPARE(info.st_mode & 07777, mode_t(0640));
}

QTEST_GUILESS_MAIN(tst_Journal)
#include "tst_journal.moc"
