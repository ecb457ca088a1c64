// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journallock.h"
#include "journal/versions.h"
#include "resources/resources.h"
#include "support/testsupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// The real program, started as a user starts it from a terminal.
class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void answersWithoutADisplayAndTouchesNoFile_data();
    void answersWithoutADisplayAndTouchesNoFile();
    void keepsTheJournalInTheFolderGiven();
    void listsTheVersionsNewestFirst();
    void mergesACopyUnlessTheJournalIsOpen();
    void helpPageAndManualNameEveryOption();

private:
    QStringList FolderContents() const;
    void Start(QProcess &process, const QStringList &arguments,
               const QProcessEnvironment &environment);

    std::unique_ptr<QTemporaryDir> m_folder;
};

namespace {
// The environment of a terminal without any display: no X11 or Wayland server and no choice
// of the toolkit's platform.
QProcessEnvironment WithoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

// Whether the process `pid` catches SIGTERM: its stop signal handlers are in place.
bool CatchesTerm(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    const QString text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const QString caught = QRegularExpression("SigCgt:\\s*(\\w+)").match(text).captured(1);
    return (caught.toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
}

const QString usageStart = QStringLiteral("Usage: \\S*lumenlog \\[options\\] \\[FOLDER\\]\n");
} // namespace

void tst_CommandLine::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

QStringList tst_CommandLine::FolderContents() const
{
    return QDir(m_folder->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

void tst_CommandLine::Start(QProcess &process, const QStringList &arguments,
                            const QProcessEnvironment &environment)
{
    process.setProgram(QStringLiteral(LUMENLOG_BINARY));
    process.setArguments(arguments);
    process.setWorkingDirectory(m_folder->path());
    process.setProcessEnvironment(environment);
    process.start();
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
}

void tst_CommandLine::answersWithoutADisplayAndTouchesNoFile_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("standardOutput"); // patterns of the whole output
    QTest::addColumn<QString>("standardError");

    const QString help = QStringLiteral("^") + usageStart +
                         QStringLiteral("(.|\n)*-h, --help +Show this help and exit.\n"
                                        "(.|\n)*-v, --version +Show the version and exit.\n");
    const QString version =
        QStringLiteral("^lumenlog %1\n$")
            .arg(QRegularExpression::escape(QString::fromLatin1(ProgramVersion())));
    const QString noFolder =
        QStringLiteral("^lumenlog: cannot keep the journal in '%1': No such file or directory.\n$");

    QTest::newRow("--help") << QStringList{"--help"} << 0 << help << "^$";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << help << "^$";
    QTest::newRow("help before a missing folder")
        << QStringList{"missing", "-h"} << 0 << help << "^$";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << version << "^$";
    QTest::newRow("-v") << QStringList{"-v"} << 0 << version << "^$";
    QTest::newRow("unknown long option") << QStringList{"--bogus"} << 2 << "^$"
                                         << "^lumenlog: Unknown option 'bogus'.\n" + usageStart;
    QTest::newRow("unknown short option") << QStringList{"-x"} << 2 << "^$"
                                          << "^lumenlog: Unknown option 'x'.\n" + usageStart;
    QTest::newRow("missing folder")
        << QStringList{"missing"} << 2 << "^$" << noFolder.arg("missing");
    QTest::newRow("empty folder name") << QStringList{""} << 2 << "^$" << noFolder.arg("");
    QTest::newRow("a file, not a folder")
        << QStringList{"file"} << 2 << "^$"
        << "^lumenlog: cannot keep the journal in 'file': Not a directory.\n$";
    QTest::newRow("--versions, none kept")
        << QStringList{"--versions"} << 0 << "^$"
        << "^lumenlog: no versions of /.*/pw.dat are kept in /.*/lumenlog/versions/.*\n$";
    QTest::newRow("--versions of a file")
        << QStringList{"--versions", "file"} << 2 << "^$"
        << "^lumenlog: cannot find the journal in 'file': Not a directory.\n$";
    QTest::newRow("--merge of a file that is no journal")
        << QStringList{"--merge", "file"} << 2 << "^$"
        << "^lumenlog: /.*/file is not a journal: part of it is no entry. It is left as it is.\n$";
    QTest::newRow("--merge of a missing file")
        << QStringList{"--merge", "missing"} << 2 << "^$"
        << "^lumenlog: cannot read /.*/missing: No such file or directory.\n$";
    QTest::newRow("two folders") << QStringList{".", "."} << 2 << "^$"
                                 << "^lumenlog: only one FOLDER may be given.\n" + usageStart;
}

void tst_CommandLine::answersWithoutADisplayAndTouchesNoFile()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, standardOutput);
    QFETCH(QString, standardError);
    QFile file(m_folder->filePath("file"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("Note\n") == 5);
    file.close();

    QProcess process;
    Start(process, arguments, WithoutDisplay());
    QVERIFY(process.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == status, qPrintable(error));
    QVERIFY2(QRegularExpression(standardOutput).match(output).hasMatch(), qPrintable(output));
    QVERIFY2(QRegularExpression(standardError).match(error).hasMatch(), qPrintable(error));
    QCOMPARE(FolderContents(), QStringList{"file"});
}

// Started with a folder, the program keeps its journal there and nothing in the folder it was
// started from; a stop signal then ends it with the journal saved.
void tst_CommandLine::keepsTheJournalInTheFolderGiven()
{
    QVERIFY(QDir(m_folder->path()).mkdir("journal"));
    QProcessEnvironment environment = WithoutDisplay();
    environment.insert("QT_QPA_PLATFORM", "offscreen");

    QProcess process;
    Start(process, {"journal"}, environment);
    const QString journal = m_folder->filePath("journal/pw.dat");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(journal) && CatchesTerm(process.processId()), 30000);
    process.terminate();
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    QCOMPARE(FolderContents(), QStringList{"journal"});
    QCOMPARE(QFileInfo(journal).size(), 0);
}

void tst_CommandLine::listsTheVersionsNewestFirst()
{
    const std::string journal = m_folder->filePath("pw.dat").toStdString();
    const std::string root = m_folder->filePath("data/lumenlog/versions").toStdString();
    for (const std::time_t when : {1765022400, 1765108800}) { // noon on 6 and 7 December
        WriteBytes(journal, "DATE=1\r\nDATE=" + std::to_string(when) + "\r\n");
        VersionCopy copy(root);
        QVERIFY(copy.Start(journal, when));
    }
    QProcessEnvironment environment = WithoutDisplay();
    environment.insert("XDG_DATA_HOME", m_folder->filePath("data"));
    QProcess process;
    Start(process, {"--versions", "."}, environment);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n');
    const QRegularExpression line("^2025-12-0\\d \\d\\d:\\d\\d:\\d\\d +25 bytes +2 entries  " +
                                  QRegularExpression::escape(QString::fromStdString(root)) +
                                  "/[^/]+/2025-12-0\\d-\\d{6}\\.dat$");
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].contains(line) && lines[1].contains(line), qPrintable(lines.join('\n')));
    QVERIFY(lines[0] > lines[1]);
    QCOMPARE(FolderContents(), (QStringList{"data", "pw.dat"}));
}

// Ours added Here, theirs added There and removed Newer, both from the kept version: the merge
// has all three changes, and the journal as it was and the copy end up among the versions. While
// a window holds the journal, nothing is touched.
void tst_CommandLine::mergesACopyUnlessTheJournalIsOpen()
{
    const auto record = [](const char *title) {
        return std::string("\r\nDATE=2026-12-10\r\nTITLE=") + title + "\r\nENTRY=" + title + "\r\n";
    };
    const std::string creator = "CREATOR=PENWICK 1.0";
    const std::string journal = m_folder->filePath("pw.dat").toStdString();
    const std::string copy =
        m_folder->filePath("pw.sync-conflict-20261210-101010-ABCDEFG.dat").toStdString();
    const std::string root = m_folder->filePath("data/lumenlog/versions").toStdString();
    WriteBytes(journal, creator + record("Older") + record("Newer"));
    VersionCopy base(root);
    QVERIFY(base.Start(journal, 1765022400));
    base.Wait();
    const std::string ours = creator + record("Older") + record("Newer") + record("Here");
    const std::string theirs = creator + record("Older") + record("There");
    WriteBytes(journal, ours);
    WriteBytes(copy, theirs);
    QProcessEnvironment environment = WithoutDisplay();
    environment.insert("XDG_DATA_HOME", m_folder->filePath("data"));
    const auto merge = [&](int status, const QString &output) {
        QProcess process;
        Start(process, {"--merge", QString::fromStdString(copy), "."}, environment);
        QVERIFY(process.waitForFinished(60000));
        const QString error = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(process.exitCode() == status, qPrintable(error));
        const QString got = QString::fromLocal8Bit(process.readAllStandardOutput());
        QVERIFY2(QRegularExpression(output).match(got).hasMatch(), qPrintable(got + error));
    };
    {
        JournalLock window;
        QCOMPARE(window.Acquire(journal), JournalLock::Result::Locked);
        merge(1, "^$");
    }
    QCOMPARE(ReadBytes(journal), ours);
    QCOMPARE(ReadBytes(copy), theirs);
    QCOMPARE(FolderContents().size(), 3); // data, pw.dat, the copy
    merge(0, "^Merged /.*ABCDEFG\\.dat into /.*/pw\\.dat: 1 entry to add, 1 to remove.\n"
             "/.*/pw\\.dat as it was is kept in /.*\n"
             "The copy is now kept in /.*/lumenlog/versions/.*\\.dat\\.\n$");
    QCOMPARE(ReadBytes(journal), creator + record("Older") + record("Here") + record("There"));
    QCOMPARE(FolderContents(), (QStringList{"data", "pw.dat"}));
    const std::vector<KeptVersion> kept =
        ListVersions(root + "/" + VersionFolderName(*JournalRealPath(journal)));
    QCOMPARE(kept.size(), size_t(3));
    QCOMPARE(ReadBytes(kept[0].path) + ReadBytes(kept[1].path), theirs + ours);
}

// Every long option that --help lists is in the help page's table of options and the manual
// page.
void tst_CommandLine::helpPageAndManualNameEveryOption()
{
    QProcess process;
    Start(process, {"--help"}, WithoutDisplay());
    QVERIFY(process.waitForFinished());
    const auto read = [](const QString &name) {
        QFile file(QStringLiteral(LUMENLOG_SOURCE_DIR "/docs/") + name);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    const QString page =
        read("help.html").section("<table class=\"options\">", 1).section("</table>", 0, 0);
    const QString manual = read("lumenlog.1");
    QStringList options;
    const QRegularExpression listed("^ +(?:-\\w, )?(--[a-z-]+)",
                                    QRegularExpression::MultilineOption);
    for (const auto &match :
         listed.globalMatch(QString::fromLocal8Bit(process.readAllStandardOutput())))
        options << match.captured(1);
    QVERIFY2(options.contains("--help") && options.contains("--merge"),
             qPrintable(options.join(' ')));
    for (const QString &option : options) {
        QVERIFY2(page.contains("<code>" + option), qPrintable(option));
        QVERIFY2(manual.contains(QString(option).replace('-', "\\-")), qPrintable(option));
    }
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
