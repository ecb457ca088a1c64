#include "common/textfile.h"
#include "support/testsupport.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <random>

Q_DECLARE_METATYPE(TextFile::Mode)

class tst_TextFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readsTextMode_data();
    void readsTextMode();
    void writesLfAsCrLf_data();
    void writesLfAsCrLf();
    void readsAcrossBufferBoundaries_data();
    void readsAcrossBufferBoundaries();
    void writesLargeText();

    void createsOwnerOnlyFile_data();
    void createsOwnerOnlyFile();
    void keepsPermissionsOfExistingFile_data();
    void keepsPermissionsOfExistingFile();
    void openKeepsOrEmptiesExistingFile_data();
    void openKeepsOrEmptiesExistingFile();
    void appendWritesAtEnd();
    void failedTruncateLeavesFileUntouched_data();
    void failedTruncateLeavesFileUntouched();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();
    void folderOrFifoFailsToWrite_data();
    void folderOrFifoFailsToWrite();
    void writeFailureIsReported_data();
    void writeFailureIsReported();
    void closeReportsFailedOpen();

    void resolvesNameIgnoringCase_data();
    void resolvesNameIgnoringCase();
    void usesExistingFileWithOtherCase();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldCurrent;
    mode_t m_oldUmask = 0;
};

namespace {

constexpr std::size_t bufferSize = 64 * 1024;

// What reading should deliver, computed byte by byte.
std::string Decoded(const std::string &raw)
{
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\x1A')
            break;
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        out += raw[i];
    }
    return out;
}

std::string ReadAllOf(const char *name, bool *ok = nullptr)
{
    std::string out;
    const bool read = ReadWholeFile(name, out);
    ToTextModeText(out);
    if (ok)
        *ok = read;
    return out;
}

mode_t PermissionsOf(const char *name)
{
    struct stat status;
    if (::stat(name, &status) != 0)
        return 07777;
    return status.st_mode & 07777;
}

} // namespace

void tst_TextFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    // With no umask a file's permissions are exactly those the program asked for.
    m_oldUmask = ::umask(0);
}

void tst_TextFile::cleanup()
{
    ::umask(m_oldUmask);
    QDir::setCurrent(m_oldCurrent);
    if (m_dir) {
        // Give back write permission so the temporary folder can be removed.
        ::chmod(m_dir->path().toLocal8Bit().constData(), 0700);
        m_dir.reset();
    }
}

void tst_TextFile::readsTextMode_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("CR LF as LF") << QByteArray("a\r\nb\r\n") << QByteArray("a\nb\n");
    QTest::newRow("lone CR kept") << QByteArray("a\rb") << QByteArray("a\rb");
    QTest::newRow("CR at the end") << QByteArray("a\r") << QByteArray("a\r");
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QByteArray("a\r\nb");
    QTest::newRow("LF CR") << QByteArray("\n\r") << QByteArray("\n\r");
    QTest::newRow("lone LF kept") << QByteArray("a\nb") << QByteArray("a\nb");
    QTest::newRow("0x1A ends file") << QByteArray("ab\x1Axy\r\n") << QByteArray("ab");
    QTest::newRow("0x1A first") << QByteArray("\x1Axyz") << QByteArray();
    QTest::newRow("CR before 0x1A") << QByteArray("a\r\x1A\n") << QByteArray("a\r");
    QTest::newRow("zero byte delivered") << QByteArray("a\0b", 3) << QByteArray("a\0b", 3);
    QTest::newRow("high bytes delivered")
        << QByteArray("\xE9\xFF\x80") << QByteArray("\xE9\xFF\x80");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void tst_TextFile::readsTextMode()
{
    QFETCH(QByteArray, raw);
    QFETCH(QByteArray, expected);
    WriteBytes("pw.dat", raw.toStdString());
    bool ok = false;
    QCOMPARE(ReadAllOf("pw.dat", &ok), expected.toStdString());
    QVERIFY(ok);
}

void tst_TextFile::writesLfAsCrLf_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("LF as CR LF") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("lone CR unchanged") << QByteArray("a\rb") << QByteArray("a\rb");
    QTest::newRow("CR LF gets a second CR") << QByteArray("a\r\n") << QByteArray("a\r\r\n");
    QTest::newRow("0x1A written as is") << QByteArray("a\x1A") << QByteArray("a\x1A");
    QTest::newRow("leading LFs") << QByteArray("\n\nx") << QByteArray("\r\n\r\nx");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void tst_TextFile::writesLfAsCrLf()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    {
        TextFile file;
        QVERIFY(file.Open("whole.txt", TextFile::Mode::WriteTruncate));
        QVERIFY(file.Write(text.toStdString()));
        QVERIFY(file.Close());
    }
    {
        TextFile file;
        QVERIFY(file.Open("bytes.txt", TextFile::Mode::WriteTruncate));
        for (char byte : text)
            QVERIFY(file.Write(std::string_view(&byte, 1)));
        QVERIFY(file.Close());
    }
    QCOMPARE(ReadBytes("whole.txt"), expected.toStdString());
    QCOMPARE(ReadBytes("bytes.txt"), expected.toStdString());
}

void tst_TextFile::readsAcrossBufferBoundaries_data()
{
    QTest::addColumn<QByteArray>("raw");
    const QByteArray fill(bufferSize - 1, 'x');
    QTest::newRow("CR LF split at the boundary") << fill + "\r\nafter";
    QTest::newRow("lone CR at the boundary") << fill + "\ry";
    QTest::newRow("CR as last byte of a full buffer") << fill + "\r";
    QTest::newRow("CR CR across the boundary") << fill + "\r\r\n";
    QTest::newRow("0x1A after the boundary") << fill + "\r\n" + QByteArray(100, 'y') + "\x1Az";
    QTest::newRow("CR at the end of the second buffer")
        << fill + "\r\n" + QByteArray(bufferSize - 2, 'y') + "\r\nz";
    // A long file of CR, LF and letters in every combination, checked against a simple decoder.
    std::mt19937 random(2006);
    QByteArray mixed;
    const char alphabet[] = {'\r', '\n', 'a', '\r'};
    for (int i = 0; i < 300000; ++i)
        mixed += alphabet[random() % 4];
    QTest::newRow("random CR LF mix over several buffers") << mixed;
}

void tst_TextFile::readsAcrossBufferBoundaries()
{
    QFETCH(QByteArray, raw);
    WriteBytes("pw.dat", raw.toStdString());
    const std::string expected = Decoded(raw.toStdString());
    bool ok = false;
    QCOMPARE(ReadAllOf("pw.dat", &ok), expected);
    QVERIFY(ok);
}

void tst_TextFile::writesLargeText()
{
    // Lines of growing length put LFs on both sides of every buffer boundary, and one line is
    // longer than the buffer.
    std::string text;
    std::string expected;
    for (int length = 0; text.size() < 5 * bufferSize; length += 7) {
        const std::string line(length % 1000, 'a' + length % 26);
        text += line + "\n";
        expected += line + "\r\n";
    }
    const std::string longLine(2 * bufferSize + 3, 'L');
    text += longLine + "\nend";
    expected += longLine + "\r\nend";

    TextFile file;
    QVERIFY(file.Open("Report.htm", TextFile::Mode::WriteTruncate));
    QVERIFY(file.Write(text));
    QVERIFY(file.Close());
    QCOMPARE(ReadBytes("Report.htm"), expected);
    QCOMPARE(ReadAllOf("Report.htm"), text);
}

void tst_TextFile::createsOwnerOnlyFile_data()
{
    QTest::addColumn<TextFile::Mode>("mode");
    QTest::newRow("read") << TextFile::Mode::Read;
    QTest::newRow("write-truncate") << TextFile::Mode::WriteTruncate;
    QTest::newRow("write-append") << TextFile::Mode::WriteAppend;
}

void tst_TextFile::createsOwnerOnlyFile()
{
    QFETCH(TextFile::Mode, mode);
    QVERIFY(!QFile::exists("pw.dat"));
    TextFile file;
    QVERIFY(file.Open("pw.dat", mode));
    QVERIFY(file.Close());
    QVERIFY(QFile::exists("pw.dat"));
    QCOMPARE(ReadBytes("pw.dat"), std::string());
    QCOMPARE(PermissionsOf("pw.dat"), mode_t(0600));
}

void tst_TextFile::keepsPermissionsOfExistingFile_data()
{
    createsOwnerOnlyFile_data();
}

void tst_TextFile::keepsPermissionsOfExistingFile()
{
    QFETCH(TextFile::Mode, mode);
    WriteBytes("pw.dat", "old");
    QCOMPARE(::chmod("pw.dat", 0664), 0);
    TextFile file;
    QVERIFY(file.Open("pw.dat", mode));
    QVERIFY(file.Close());
    QCOMPARE(PermissionsOf("pw.dat"), mode_t(0664));
}

void tst_TextFile::openKeepsOrEmptiesExistingFile_data()
{
    QTest::addColumn<TextFile::Mode>("mode");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("read keeps") << TextFile::Mode::Read << QByteArray("old\r\n");
    QTest::newRow("write-truncate empties") << TextFile::Mode::WriteTruncate << QByteArray();
    QTest::newRow("write-append keeps") << TextFile::Mode::WriteAppend << QByteArray("old\r\n");
}

void tst_TextFile::openKeepsOrEmptiesExistingFile()
{
    QFETCH(TextFile::Mode, mode);
    QFETCH(QByteArray, expected);
    WriteBytes("pw.dat", "old\r\n");
    TextFile file;
    QVERIFY(file.Open("pw.dat", mode));
    QVERIFY(file.Close());
    QCOMPARE(ReadBytes("pw.dat"), expected.toStdString());
}

void tst_TextFile::appendWritesAtEnd()
{
    WriteBytes("Report.htm", "old\r\n");
    for (const char *text : {"one\n", "two\n"}) {
        TextFile file;
        QVERIFY(file.Open("Report.htm", TextFile::Mode::WriteAppend));
        QVERIFY(file.Write(text));
        QVERIFY(file.Close());
    }
    QCOMPARE(ReadBytes("Report.htm"), std::string("old\r\none\r\ntwo\r\n"));
}

void tst_TextFile::failedTruncateLeavesFileUntouched_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("file without write permission") << QStringLiteral("read-only file");
    QTest::newRow("program running from the file") << QStringLiteral("running program");
}

void tst_TextFile::failedTruncateLeavesFileUntouched()
{
    QFETCH(QString, obstacle);
    QProcess running;
    std::string before;
    if (obstacle == QLatin1String("read-only file")) {
        if (::geteuid() == 0)
            QSKIP("root may write to any file");
        WriteBytes("pw.dat", "keep me\r\n");
        QCOMPARE(::chmod("pw.dat", 0400), 0);
    } else {
        // Linux refuses to open a running program's file for writing, even for root.
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), QStringLiteral("pw.dat")));
        QCOMPARE(::chmod("pw.dat", 0700), 0);
        running.start(QDir::current().absoluteFilePath(QStringLiteral("pw.dat")),
                      {QStringLiteral("30")});
        if (!running.waitForStarted())
            QSKIP("cannot run a program from the temporary folder");
    }
    before = ReadBytes("pw.dat");
    TextFile file;
    const bool opened = file.Open("pw.dat", TextFile::Mode::WriteTruncate);
    running.kill();
    running.waitForFinished();
    if (opened && obstacle == QLatin1String("running program"))
        QSKIP("this kernel lets a running program's file be opened for writing");
    QVERIFY(!opened);
    QVERIFY(!file.Write("new"));
    QVERIFY(!file.Close());
    QCOMPARE(ReadBytes("pw.dat"), before);
}

void tst_TextFile::onlyRegularFilesAreRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << "folder";
    QTest::newRow("FIFO without a writer") << "fifo"; // would block in the open
    QTest::newRow("endless device") << "device";      // would fill the memory
}

// Neither is taken as an empty file, nor waited for.
void tst_TextFile::onlyRegularFilesAreRead()
{
    QFETCH(QString, kind);
    if (kind == "folder")
        QVERIFY(QDir().mkdir(QStringLiteral("pw.dat")));
    else if (kind == "fifo")
        QCOMPARE(::mkfifo("pw.dat", 0600), 0);
    else
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), QStringLiteral("pw.dat")));
    TextFile file;
    std::string out;
    QVERIFY(!file.Open("pw.dat", TextFile::Mode::Read));
    QVERIFY(!ReadWholeFile("pw.dat", out));
    QVERIFY(out.empty());
    QVERIFY(QFileInfo(QStringLiteral("pw.dat")).exists());
}

void tst_TextFile::folderOrFifoFailsToWrite_data()
{
    QTest::addColumn<bool>("fifo"); // without a reader, which would block the open
    QTest::addColumn<TextFile::Mode>("mode");
    QTest::newRow("folder, write-truncate") << false << TextFile::Mode::WriteTruncate;
    QTest::newRow("folder, write-append") << false << TextFile::Mode::WriteAppend;
    QTest::newRow("FIFO, write-truncate") << true << TextFile::Mode::WriteTruncate;
    QTest::newRow("FIFO, write-append") << true << TextFile::Mode::WriteAppend;
}

void tst_TextFile::folderOrFifoFailsToWrite()
{
    QFETCH(bool, fifo);
    QFETCH(TextFile::Mode, mode);
    if (fifo) {
        QCOMPARE(::mkfifo("Report.htm", 0600), 0);
    } else {
        QVERIFY(QDir().mkdir(QStringLiteral("Report.htm")));
        WriteBytes("Report.htm/inside", "keep");
    }
    TextFile file;
    QVERIFY(!file.Open("Report.htm", mode));
    QVERIFY(!file.Write("x"));
    QVERIFY(!file.Close());
    if (!fifo)
        QCOMPARE(ReadBytes("Report.htm/inside"), std::string("keep"));
}

void tst_TextFile::writeFailureIsReported_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<char>("byte");
    QTest::addColumn<bool>("writeFails");
    QTest::newRow("small text fails at close") << 10 << 'x' << false;
    QTest::newRow("large text fails at write") << int(3 * bufferSize) << 'x' << true;
    // Each LF takes two bytes, so these fill the buffer while writing.
    QTest::newRow("LFs fail at write") << int(bufferSize) << '\n' << true;
}

void tst_TextFile::writeFailureIsReported()
{
    QFETCH(int, size);
    QFETCH(char, byte);
    QFETCH(bool, writeFails);
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full on this system");
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), QStringLiteral("pw.dat")));
    const std::string text(std::size_t(size), byte);
    TextFile file;
    QVERIFY(file.Open("pw.dat", TextFile::Mode::WriteTruncate));
    QCOMPARE(file.Write(text), !writeFails);
    QVERIFY(!file.Close());
    QVERIFY(!file.IsOpen());
}

void tst_TextFile::closeReportsFailedOpen()
{
    TextFile never;
    QVERIFY(!never.Close());
    TextFile reading;
    QVERIFY(reading.Open("pw.dat", TextFile::Mode::Read));
    QVERIFY(!reading.Write("x"));
    QVERIFY(reading.Close());
    QCOMPARE(ReadBytes("pw.dat"), std::string());
}

void tst_TextFile::resolvesNameIgnoringCase_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("upper case on disk") << QStringList{"PW.DAT"} << "pw.dat"
                                        << "PW.DAT";
    QTest::newRow("mixed case on disk") << QStringList{"header.htm"} << "Header.htm"
                                        << "header.htm";
    QTest::newRow("exact match preferred") << QStringList{"PW.DAT", "pw.dat", "Pw.Dat"} << "pw.dat"
                                           << "pw.dat";
    QTest::newRow("missing name keeps its spelling") << QStringList{} << "Report.htm"
                                                     << "Report.htm";
    QTest::newRow("similar names ignored")
        << QStringList{"pw.dat.bak", "pw.da", "xpw.dat"} << "pw.dat"
        << "pw.dat";
    QTest::newRow("only ASCII letters fold")
        << QStringList{QString::fromUtf8("\xC3\x89.txt")} << QString::fromUtf8("\xC3\xA9.txt")
        << QString::fromUtf8("\xC3\xA9.txt");
    QTest::newRow("last component in a folder") << QStringList{"sub/PW.DAT"} << "sub/pw.dat"
                                                << "sub/PW.DAT";
}

void tst_TextFile::resolvesNameIgnoringCase()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    for (const QString &path : existing) {
        QDir().mkpath(QFileInfo(path).path());
        WriteBytes(path.toStdString(), "x");
    }
    QCOMPARE(QString::fromStdString(ResolveFileName(name.toStdString())), expected);
}

void tst_TextFile::usesExistingFileWithOtherCase()
{
    WriteBytes("PW.DAT", "old\r\n");
    QCOMPARE(ReadAllOf("pw.dat"), std::string("old\n"));
    TextFile file;
    QVERIFY(file.Open("pw.dat", TextFile::Mode::WriteTruncate));
    QVERIFY(file.Write("new\n"));
    QVERIFY(file.Close());
    QCOMPARE(ReadBytes("PW.DAT"), std::string("new\r\n"));
    QCOMPARE(QDir().entryList(QDir::Files), QStringList{"PW.DAT"});
}

QTEST_GUILESS_MAIN(tst_TextFile)
#include "tst_textfile.moc"
