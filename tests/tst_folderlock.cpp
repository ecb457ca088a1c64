// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/folderlock.h"
#include "journal/journallock.h"
#include "journal/safesave.h"

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

class tst_FolderLock : public QObject
{
    Q_OBJECT

private slots:
    void secondLockOnTheSameFolderIsRefused_data();
    void secondLockOnTheSameFolderIsRefused();
    void otherFoldersAreIndependent();
    void releaseLetsTheNextOneIn();
    void anotherProcessIsRefusedWhileHeld();
    void deadHolderBlocksNothing_data();
    void deadHolderBlocksNothing();
    void startedProgramsDoNotInheritTheLock();
    void takingTheLockCreatesNoFile();
    void missingFolderIsUnavailable();
    void journalLockFollowsTheFile_data();
    void journalLockFollowsTheFile();
};

namespace {
using Result = FolderLock::Result;

// Runs `body` in a child process and returns its exit status (-1 when it did not exit).
template <class Body> int InChild(Body body)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ChildResult(const std::string &folder)
{
    return InChild([&] {
        FolderLock lock;
        return int(lock.Acquire(folder));
    });
}
} // namespace

void tst_FolderLock::secondLockOnTheSameFolderIsRefused_data()
{
    QTest::addColumn<QString>("secondPath"); // relative to the folder
    QTest::newRow("same path") << QString(".");
    QTest::newRow("through a symbolic link") << QString("link");
    QTest::newRow("through a sub-folder and back") << QString("sub/..");
}

void tst_FolderLock::secondLockOnTheSameFolderIsRefused()
{
    QFETCH(QString, secondPath);
    QTemporaryDir parent;
    QVERIFY(parent.isValid());
    const QString folder = parent.filePath("journal");
    QVERIFY(QDir().mkpath(folder + "/sub"));
    QVERIFY(QFile::link(folder, parent.filePath("link")));
    const QString second =
        secondPath == "link" ? parent.filePath("link") : folder + "/" + secondPath;

    FolderLock first;
    QCOMPARE(first.Acquire(folder.toStdString()), Result::Locked);
    FolderLock other; // a separate open of the folder conflicts even in one process
    QCOMPARE(other.Acquire(second.toStdString()), Result::HeldElsewhere);
    QVERIFY(!other.Held());
    QVERIFY(first.Held());
}

void tst_FolderLock::otherFoldersAreIndependent()
{
    QTemporaryDir a, b;
    FolderLock first, second;
    QCOMPARE(first.Acquire(a.path().toStdString()), Result::Locked);
    QCOMPARE(second.Acquire(b.path().toStdString()), Result::Locked);
}

void tst_FolderLock::releaseLetsTheNextOneIn()
{
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString();
    {
        FolderLock scoped;
        QCOMPARE(scoped.Acquire(path), Result::Locked);
    }
    FolderLock first;
    QCOMPARE(first.Acquire(path), Result::Locked);
    first.Release();
    QVERIFY(!first.Held());
    FolderLock second;
    QCOMPARE(second.Acquire(path), Result::Locked);
}

void tst_FolderLock::anotherProcessIsRefusedWhileHeld()
{
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString();
    FolderLock held;
    QCOMPARE(held.Acquire(path), Result::Locked);
    QCOMPARE(ChildResult(path), int(Result::HeldElsewhere));
    held.Release();
    QCOMPARE(ChildResult(path), int(Result::Locked));
}

void tst_FolderLock::deadHolderBlocksNothing_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("killed") << int(SIGKILL);
    QTest::newRow("crashed") << int(SIGSEGV);
    QTest::newRow("exited without releasing") << 0;
}

void tst_FolderLock::deadHolderBlocksNothing()
{
    QFETCH(int, signalNumber);
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString();
    int pipeEnds[2];
    QCOMPARE(::pipe(pipeEnds), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        ::signal(SIGSEGV, SIG_DFL);
        auto *lock = new FolderLock; // never destroyed: the process dies holding it
        const char locked = lock->Acquire(path) == Result::Locked ? 'y' : 'n';
        [[maybe_unused]] auto written = ::write(pipeEnds[1], &locked, 1);
        if (signalNumber != 0)
            ::raise(signalNumber);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    char locked = 0;
    QCOMPARE(::read(pipeEnds[0], &locked, 1), ssize_t(1));
    ::close(pipeEnds[0]);
    QCOMPARE(locked, 'y');
    int status = 0;
    ::waitpid(holder, &status, 0);
    if (signalNumber != 0)
        QCOMPARE(WTERMSIG(status), signalNumber);

    FolderLock next;
    QCOMPARE(next.Acquire(path), Result::Locked);
}

void tst_FolderLock::startedProgramsDoNotInheritTheLock()
{
    // A program started while the lock is held (a browser showing the report) outlives
    // Lumenlog; it must not keep the folder locked.
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString();
    FolderLock held;
    QCOMPARE(held.Acquire(path), Result::Locked);
    // The pipe's write end closes on exec, so reading its other end returns once the program
    // runs (or once the child has failed to start it, after writing one byte).
    int execDone[2];
    QCOMPARE(::pipe2(execDone, O_CLOEXEC), 0);
    const pid_t program = ::fork();
    if (program == 0) {
        ::execlp("sleep", "sleep", "10", static_cast<char *>(nullptr));
        [[maybe_unused]] auto written = ::write(execDone[1], "x", 1);
        ::_exit(127);
    }
    ::close(execDone[1]);
    char failed = 0;
    const ssize_t fromChild = ::read(execDone[0], &failed, 1);
    ::close(execDone[0]);
    held.Release();
    FolderLock next;
    const Result result = next.Acquire(path);
    ::kill(program, SIGKILL);
    ::waitpid(program, nullptr, 0);
    QCOMPARE(fromChild, ssize_t(0)); // the program did start
    QCOMPARE(result, Result::Locked);
}

void tst_FolderLock::takingTheLockCreatesNoFile()
{
    QTemporaryDir folder;
    FolderLock lock;
    QCOMPARE(lock.Acquire(folder.path().toStdString()), Result::Locked);
    QVERIFY(QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void tst_FolderLock::missingFolderIsUnavailable()
{
    QTemporaryDir folder;
    FolderLock lock;
    QCOMPARE(lock.Acquire(folder.filePath("missing").toStdString()), Result::Unavailable);
    QVERIFY(!lock.Held());
    QVERIFY(QFile(folder.filePath("file")).open(QIODevice::WriteOnly));
    QCOMPARE(lock.Acquire(folder.filePath("file").toStdString()), Result::Unavailable);
}

void tst_FolderLock::journalLockFollowsTheFile_data()
{
    // How folder b gets its pw.dat, and whether a window on it must wait for the one on a's.
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("refused");
    QTest::newRow("a journal of its own") << "own" << false;
    QTest::newRow("symbolic link to a's journal") << "symlink" << true;
    QTest::newRow("hard link to a's journal") << "hard link" << true;
    QTest::newRow("b is a symbolic link to folder a") << "folder link" << true;
    QTest::newRow("symbolic link, after a save replaced a's journal") << "symlink, saved" << true;
}

void tst_FolderLock::journalLockFollowsTheFile()
{
    QFETCH(QString, how);
    QFETCH(bool, refused);
    QTemporaryDir parent;
    const QString a = parent.filePath("a"), b = parent.filePath("b");
    QVERIFY(QDir().mkpath(a));
    QFile journal(a + "/pw.dat");
    QVERIFY(journal.open(QIODevice::WriteOnly));
    journal.close();
    if (how == "folder link")
        QVERIFY(QFile::link(a, b));
    else
        QVERIFY(QDir().mkpath(b));
    if (how == "own")
        QVERIFY(QFile::copy(a + "/pw.dat", b + "/pw.dat"));
    else if (how.startsWith("symlink"))
        QVERIFY(QFile::link(a + "/pw.dat", b + "/pw.dat"));
    else if (how == "hard link")
        QCOMPARE(::link(QFile::encodeName(a + "/pw.dat"), QFile::encodeName(b + "/pw.dat")), 0);

    JournalLock first;
    QCOMPARE(first.Acquire((a + "/pw.dat").toStdString()), Result::Locked);
    if (how.endsWith("saved")) {
        SaveCalls calls;
        QVERIFY(SaveFileSafely((a + "/pw.dat").toStdString(),
                               [](ByteOutput &out) { out.Append("new journal"); }, calls));
    }
    JournalLock second;
    QCOMPARE(second.Acquire((b + "/pw.dat").toStdString()),
             refused ? Result::HeldElsewhere : Result::Locked);
    QCOMPARE(second.Held(), !refused);
    // A plain folder lock of the journal's folder (an older window) is still respected.
    FolderLock older;
    QCOMPARE(older.Acquire(a.toStdString()), Result::HeldElsewhere);
}

QTEST_GUILESS_MAIN(tst_FolderLock)
#include "tst_folderlock.moc"
