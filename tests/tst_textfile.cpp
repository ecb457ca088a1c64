// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/textfile.h"
#include "support/testsupport.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <random>

class tst_TextFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readsTextMode_data();
    void readsTextMode();
    void readsAcrossBufferBoundaries_data();
    void readsAcrossBufferBoundaries();

    void createsOwnerOnlyFile();
    void keepsExistingFile();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();

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

void tst_TextFile::createsOwnerOnlyFile()
{
    std::string out;
    QVERIFY(ReadWholeFile("pw.dat", out));
    QVERIFY(QFile::exists("pw.dat"));
    QCOMPARE(ReadBytes("pw.dat"), std::string());
    QCOMPARE(PermissionsOf("pw.dat"), mode_t(0600));
}

void tst_TextFile::keepsExistingFile()
{
    WriteBytes("pw.dat", "old\r\n");
    QCOMPARE(::chmod("pw.dat", 0664), 0);
    std::string out;
    QVERIFY(ReadWholeFile("pw.dat", out));
    QCOMPARE(ReadBytes("pw.dat"), std::string("old\r\n"));
    QCOMPARE(PermissionsOf("pw.dat"), mode_t(0664));
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
    std::string out;
    QVERIFY(!ReadWholeFile("pw.dat", out));
    QVERIFY(out.empty());
    QVERIFY(QFileInfo(QStringLiteral("pw.dat")).exists());
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
    QCOMPARE(QDir().entryList(QDir::Files), QStringList{"PW.DAT"});
}

QTEST_GUILESS_MAIN(tst_TextFile)
#include "tst_textfile.moc"
