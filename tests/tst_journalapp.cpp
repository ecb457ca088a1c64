// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/journalapp.h"
#include "app/journaldialog.h"
#include "datepick/qt/dateselectdialog.h"
#include "journal/folderlock.h"
#include "resources/resourceids.h"
#include "session/sockets.h"
#include "support/testsupport.h"
#include "ui/qt/qtmessageboxes.h"

#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

class tst_JournalApp : public QObject
{
    Q_OBJECT

private slots:
    void socketsWorkOnThisSystem();
    void socketsFailWhenNoSocketCanBeMade();
    void socketsCheckClosesItsSocket();
    void failedSocketsShowString103AndNoWindow();
    void runsTheMainDialogUntilItCloses();
    void secondStartInTheSameFolderIsRefused();
    void lockOfADeadProcessBlocksNothing();
    void folderIsFreeAgainAfterTheRun();
    void leftoverTemporaryFileIsRemovedAtStart();
    void stopSignalEndsTheDialogWithTheSave_data();
    void stopSignalEndsTheDialogWithTheSave();
    void stopSignalClosesNestedWindowsFirst_data();
    void stopSignalClosesNestedWindowsFirst();
    void handlerStillRunningFinishesBeforeTheSave();
    void repeatedSignalsSaveOnceAndDoNotEndTheProcess();
    void failedSaveEndsWithoutWaitingForAnyoneAfterASignal_data();
    void failedSaveEndsWithoutWaitingForAnyoneAfterASignal();
    void terminationByThePlatformEndsTheDialogLikeASignal();
    // Last: a quit request leaves every later event loop of this process ending at once.
    void applicationQuitStillSavesTheJournal();
};

namespace {
int lastSocket = -1;
int lastDomain = -1;

int RecordingSocket(int domain, int type, int protocol)
{
    lastDomain = domain;
    lastSocket = ::socket(domain, type, protocol);
    return lastSocket;
}

// Answers every message box shown while it lives as soon as it is on screen, No to a question
// and OK otherwise, and notes each: as the program asked for it (an application box has the
// warning icon), its owner, and whether another window was on screen.
class BoxWatch
{
public:
    struct Seen
    {
        ShownBox box;
        const void *owner; // compared only: it may be gone
        bool otherWindowShown;
    };
    std::vector<Seen> seen;

    BoxWatch()
    {
        m_poll.setInterval(5);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { AnswerBox(); });
        m_poll.start();
    }

private:
    void AnswerBox()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        const QWidgetList windows = QApplication::topLevelWidgets();
        QAbstractButton *no = box->button(QMessageBox::No);
        seen.push_back({{box->text().toStdString(), box->windowTitle().toStdString(),
                         no ? BoxYesNo : BoxOk, box->icon() == QMessageBox::Warning},
                        box->parentWidget(),
                        std::any_of(windows.begin(), windows.end(), [box](QWidget *window) {
                            return window != box && window->isVisible();
                        })});
        (no ? no : box->button(QMessageBox::Ok))->click();
    }

    QTimer m_poll;
};
} // namespace

void tst_JournalApp::socketsWorkOnThisSystem()
{
    QVERIFY(StartSockets());
}

void tst_JournalApp::socketsFailWhenNoSocketCanBeMade()
{
    QVERIFY(!StartSockets([](int, int, int) { return -1; }));
}

void tst_JournalApp::socketsCheckClosesItsSocket()
{
    lastSocket = -1;
    QVERIFY(StartSockets(RecordingSocket));
    QCOMPARE(lastDomain, AF_INET);
    QVERIFY(lastSocket >= 0);
    QCOMPARE(::fcntl(lastSocket, F_GETFD), -1);
}

void tst_JournalApp::failedSocketsShowString103AndNoWindow()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.path()));

    BoxWatch boxes;
    JournalApp app([] { return false; });
    const bool started = app.Run();
    QDir::setCurrent(previous);

    QVERIFY(!started);
    QCOMPARE(boxes.seen.size(), size_t(1));
    const ShownBox &box = boxes.seen[0].box;
    QCOMPARE(box.text, Text("Windows sockets initialization failed."));
    QCOMPARE(box.caption, Text("Penwick"));
    QCOMPARE(box.type, BoxOk);
    QVERIFY(box.application);
    QCOMPARE(boxes.seen[0].owner, nullptr);
    QVERIFY(!boxes.seen[0].otherWindowShown);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    QVERIFY(QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void tst_JournalApp::runsTheMainDialogUntilItCloses()
{
    QTemporaryDir folder; // the dialog loads and saves its journal in the working folder
    QVERIFY(folder.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.path()));
    QPointer<JournalDialog> running;
    const void *dialogSeen = nullptr;
    const void *dateOwner = nullptr;
    BoxWatch boxes;
    QTimer::singleShot(0, this, [&] {
        running = qobject_cast<JournalDialog *>(QApplication::activeModalWidget());
        if (!running)
            return;
        dialogSeen = running;
        QTimer::singleShot(0, this, [&] {
            if (auto *date = qobject_cast<DateSelectDialog *>(QApplication::activeModalWidget())) {
                dateOwner = date->parentWidget();
                date->close();
            }
        });
        running->ControlAs<QPushButton>(IdDateButton)->click();
        running->ControlAs<QPushButton>(IdReport)->click(); // asks whether to open the report
        QTest::keyClick(running, Qt::Key_Escape);
    });
    JournalApp app([] { return true; });
    const bool started = app.Run();
    QDir::setCurrent(previous);
    QVERIFY(started);
    QCOMPARE(ReadBytes(folder.filePath("pw.dat").toStdString()), std::string());
    // The Date Selection dialog and the application's boxes stand over the running dialog.
    QVERIFY(dialogSeen);
    QCOMPARE(dateOwner, dialogSeen);
    QCOMPARE(boxes.seen.size(), size_t(1));
    QVERIFY(boxes.seen[0].box.application);
    QCOMPARE(boxes.seen[0].owner, dialogSeen);
    QVERIFY(running.isNull()); // the dialog lived only while the application ran
}

namespace {
// Runs the test in a fresh working folder, which the application locks, loads and saves in.
struct InFolder
{
    QTemporaryDir folder;
    QString previous = QDir::currentPath();
    InFolder() { QDir::setCurrent(folder.path()); }
    ~InFolder() { QDir::setCurrent(previous); }
    std::string Journal() const { return ReadBytes(folder.filePath("pw.dat").toStdString()); }
    QStringList Files() const
    {
        return QDir(folder.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

JournalDialog *RunningDialog()
{
    return qobject_cast<JournalDialog *>(QApplication::activeModalWidget());
}

// Types a row into the form as a user does and presses Add.
void AddRow(JournalDialog &dialog, const QString &date, const QString &title, const QString &entry)
{
    dialog.ControlAs<QLineEdit>(IdDate)->setText(date); // as the Date dialog leaves it
    dialog.ControlAs<QLineEdit>(IdTitle)->setText(title);
    dialog.ControlAs<QPlainTextEdit>(IdEntry)->setPlainText(entry);
    dialog.ControlAs<QPushButton>(IdAdd)->click();
}

const std::string twoRowsJournal =
    "CREATOR=PENWICK 1.0\r\n"
    "DATE=2024-05-01\r\nTITLE=Older\r\nENTRY=first line<br>second\r\n"
    "\r\nDATE=2024-05-02\r\nTITLE=Newer\r\nENTRY=text\r\n";

void AddTwoRows(JournalDialog &dialog)
{
    AddRow(dialog, "2024-05-01", "Older", "first line\nsecond");
    AddRow(dialog, "2024-05-02", "Newer", "text");
}

// Runs `action` from the event loop as soon as `ready` holds (looked at every few milliseconds),
// or after five seconds regardless, so that a test that goes wrong ends instead of hanging.
// Lives in the test's scope, so that it never fires into a later test.
class WhenReady
{
public:
    WhenReady(std::function<bool()> ready, std::function<void()> action)
        : m_ready(std::move(ready)), m_action(std::move(action))
    {
        m_poll.setInterval(5);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            if (!m_ready() && !m_deadline.hasExpired())
                return;
            m_poll.stop();
            m_action();
        });
        m_poll.start();
    }

private:
    std::function<bool()> m_ready;
    std::function<void()> m_action;
    QDeadlineTimer m_deadline{5000};
    QTimer m_poll;
};

// Notes when the application has read the stop signal pipe: the activation of the socket
// notifier that watches it passes through the application's event filters.
class StopPipeWatch : public QObject
{
public:
    StopPipeWatch() { qApp->installEventFilter(this); }
    ~StopPipeWatch() override { qApp->removeEventFilter(this); }
    bool Read() const { return m_read; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::SockAct && qobject_cast<QSocketNotifier *>(watched) &&
            watched->parent() && watched->parent()->inherits("SessionEnd"))
            m_read = true;
        return false;
    }

private:
    bool m_read = false;
};

// Starts a process that holds the lock on `folder` until `release` is closed (or it is killed).
pid_t StartLockHolder(const std::string &folder, int &release)
{
    int ready[2], hold[2];
    if (::pipe(ready) != 0 || ::pipe(hold) != 0)
        return -1;
    const pid_t holder = ::fork();
    if (holder == 0) {
        ::close(ready[0]);
        ::close(hold[1]);
        FolderLock lock;
        const char locked = lock.Acquire(folder) == FolderLock::Result::Locked ? 'y' : 'n';
        [[maybe_unused]] auto written = ::write(ready[1], &locked, 1);
        char none;
        [[maybe_unused]] auto got = ::read(hold[0], &none, 1); // until the test lets go
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(hold[0]);
    char locked = 0;
    const bool isLocked = ::read(ready[0], &locked, 1) == 1 && locked == 'y';
    ::close(ready[0]);
    release = hold[1];
    return isLocked ? holder : -1;
}
} // namespace

void tst_JournalApp::secondStartInTheSameFolderIsRefused()
{
    InFolder here;
    // A killed save's file, which only the holder of the lock may remove.
    WriteBytes(".pw.dat.lumenlog-save-Ab12Cd", "half a journal");
    int release = -1;
    const pid_t other = StartLockHolder(".", release);
    QVERIFY(other > 0);

    BoxWatch boxes;
    const bool started = JournalApp([] { return true; }).Run();
    ::close(release);
    ::waitpid(other, nullptr, 0);

    QVERIFY(!started);
    QCOMPARE(boxes.seen.size(), size_t(1));
    const ShownBox &box = boxes.seen[0].box;
    QCOMPARE(box.text,
             Text("The journal in this folder is already open in another Lumenlog window."));
    QCOMPARE(box.caption, Text("Penwick"));
    QCOMPARE(box.type, BoxOk);
    QVERIFY(box.application);
    QCOMPARE(boxes.seen[0].owner, nullptr);
    QVERIFY(!boxes.seen[0].otherWindowShown);
    QCOMPARE(here.Files(), QStringList{".pw.dat.lumenlog-save-Ab12Cd"}); // no pw.dat, no lock file
}

void tst_JournalApp::lockOfADeadProcessBlocksNothing()
{
    InFolder here;
    int release = -1;
    const pid_t crashed = StartLockHolder(".", release);
    QVERIFY(crashed > 0);
    ::kill(crashed, SIGKILL);
    ::waitpid(crashed, nullptr, 0);
    ::close(release);

    BoxWatch boxes;
    bool ran = false;
    QTimer::singleShot(0, this, [&] {
        if (JournalDialog *dialog = RunningDialog()) {
            ran = true;
            QTest::keyClick(dialog, Qt::Key_Escape);
        }
    });
    QVERIFY(JournalApp([] { return true; }).Run());
    QVERIFY(ran);
    QVERIFY(boxes.seen.empty());
    QCOMPARE(here.Journal(), std::string());
}

void tst_JournalApp::folderIsFreeAgainAfterTheRun()
{
    InFolder here;
    FolderLock heldWhileRunning;
    FolderLock::Result whileRunning = FolderLock::Result::Unavailable;
    QTimer::singleShot(0, this, [&] {
        whileRunning = heldWhileRunning.Acquire(".");
        if (JournalDialog *dialog = RunningDialog())
            dialog->close(); // the close box
    });
    QVERIFY(JournalApp([] { return true; }).Run());
    QCOMPARE(whileRunning, FolderLock::Result::HeldElsewhere);
    FolderLock after;
    QCOMPARE(after.Acquire("."), FolderLock::Result::Locked);
}

void tst_JournalApp::leftoverTemporaryFileIsRemovedAtStart()
{
    InFolder here;
    WriteBytes(".pw.dat.lumenlog-save-Ab12Cd", "half a journal");
    QTimer::singleShot(0, this, [&] {
        if (JournalDialog *dialog = RunningDialog())
            dialog->close();
    });
    QVERIFY(JournalApp([] { return true; }).Run());
    QCOMPARE(here.Files(), QStringList{"pw.dat"});
}

void tst_JournalApp::stopSignalEndsTheDialogWithTheSave_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_JournalApp::stopSignalEndsTheDialogWithTheSave()
{
    QFETCH(int, signalNumber);
    InFolder here;
    QPointer<JournalDialog> running;
    QTimer::singleShot(0, this, [&] {
        running = RunningDialog();
        if (!running)
            return;
        AddTwoRows(*running);
        ::raise(signalNumber); // would end this test program if it were not handled
    });
    QVERIFY(JournalApp([] { return true; }).Run());
    QVERIFY(running.isNull());
    QCOMPARE(here.Journal(), twoRowsJournal);
}

void tst_JournalApp::stopSignalClosesNestedWindowsFirst_data()
{
    QTest::addColumn<QString>("nested");
    QTest::addColumn<QStringList>("expectedWindows"); // the nested windows open at the signal
    QTest::newRow("Yes/No question of Add") << "question" << QStringList{"QMessageBox"};
    QTest::newRow("About box") << "about" << QStringList{"AboutDialog"};
    QTest::newRow("box over the About box")
        << "box over about" << QStringList{"QMessageBox", "AboutDialog"};
    QTest::newRow("the system menu") << "menu" << QStringList{"QMenu"};
}

void tst_JournalApp::stopSignalClosesNestedWindowsFirst()
{
    QFETCH(QString, nested);
    QFETCH(QStringList, expectedWindows);
    InFolder here;
    QStringList openAtSignal;
    QPointer<JournalDialog> running;

    // Raises SIGTERM from inside the innermost nested window's event loop, once all of them
    // are open.
    const auto nestedWindows = [&] {
        QStringList open;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window != running)
                open.prepend(QString::fromLatin1(window->metaObject()->className()));
        }
        return open;
    };
    std::optional<WhenReady> whenNested;
    const auto raiseWhenNested = [&] {
        whenNested.emplace([&] { return nestedWindows().size() == expectedWindows.size(); },
                           [&] {
                               openAtSignal = nestedWindows();
                               ::raise(SIGTERM);
                           });
    };
    QTimer::singleShot(0, this, [&] {
        running = RunningDialog();
        if (!running)
            return;
        AddTwoRows(*running);
        QAction *about = running->SystemMenu()->actions().last();
        raiseWhenNested();
        if (nested == "question") {
            AddRow(*running, "2024-05-02", "Newer", "same date and title: asks to add it");
        } else if (nested == "about") {
            about->trigger();
        } else if (nested == "box over about") {
            QTimer::singleShot(0, this, [] {
                QtMessageBoxes(QApplication::activeModalWidget()).DialogBox("over", "Box", BoxOk);
            });
            about->trigger();
        } else if (nested == "menu") {
            running->SystemMenu()->popup(running->mapToGlobal(QPoint(10, 10)));
        }
    });
    QVERIFY(JournalApp([] { return true; }).Run());

    std::sort(openAtSignal.begin(), openAtSignal.end());
    std::sort(expectedWindows.begin(), expectedWindows.end());
    QCOMPARE(openAtSignal, expectedWindows);
    QVERIFY(running.isNull());
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), window->metaObject()->className());
    // The question was answered No: the journal holds the two rows only.
    QCOMPARE(here.Journal(), twoRowsJournal);
}

void tst_JournalApp::handlerStillRunningFinishesBeforeTheSave()
{
    // A handler that waits in an event loop of its own without a window (as a drag does) is
    // let finish: what it does after the signal is saved too.
    InFolder here;
    bool signalSeenWhileWaiting = false;
    QTimer::singleShot(0, this, [&] {
        JournalDialog *dialog = RunningDialog();
        if (!dialog)
            return;
        AddRow(*dialog, "2024-05-01", "Older", "first line\nsecond");
        StopPipeWatch watch;
        ::raise(SIGTERM);
        QEventLoop wait; // until the application has seen the signal
        WhenReady seen([&] { return watch.Read(); }, [&] { wait.quit(); });
        wait.exec();
        signalSeenWhileWaiting = watch.Read() && dialog->isVisible();
        AddRow(*dialog, "2024-05-02", "Newer", "text");
    });
    QVERIFY(JournalApp([] { return true; }).Run());
    QVERIFY(signalSeenWhileWaiting);
    QCOMPARE(here.Journal(), twoRowsJournal);
}

void tst_JournalApp::repeatedSignalsSaveOnceAndDoNotEndTheProcess()
{
    InFolder here;
    int runs = 0;
    QTimer::singleShot(0, this, [&] {
        if (JournalDialog *dialog = RunningDialog()) {
            ++runs;
            AddTwoRows(*dialog);
            ::raise(SIGTERM);
            ::raise(SIGINT);
            ::raise(SIGHUP);
        }
    });
    QVERIFY(JournalApp([] { return true; }).Run());
    ::raise(SIGTERM); // after the save: still caught, the process goes on to exit normally
    QCOMPARE(runs, 1);
    QCOMPARE(here.Journal(), twoRowsJournal);

    // The journal is loaded again by the next run, which is not ended by the old signals.
    // Old signals left in the pipe would end the run as soon as its event loop looks at the
    // pipe, which it does while it brings the dialog on screen.
    bool secondRunWaited = false;
    StopPipeWatch watch;
    const WhenReady onScreen(
        [] {
            JournalDialog *dialog = RunningDialog();
            return dialog && dialog->windowHandle() && dialog->windowHandle()->isExposed();
        },
        [&] {
            QTimer::singleShot(0, this, [&] {
                JournalDialog *dialog = RunningDialog();
                secondRunWaited = dialog != nullptr;
                if (dialog)
                    QTest::keyClick(dialog, Qt::Key_Escape);
            });
        });
    QVERIFY(JournalApp([] { return true; }).Run());
    QVERIFY(secondRunWaited);
    QVERIFY(!watch.Read());
    QCOMPARE(here.Journal(), twoRowsJournal);
}

namespace {
// Files of the process may grow to `bytes` and no further: a write beyond fails (EFBIG), as on a
// full disk, instead of ending the process with SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limited = m_previous;
        limited.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_handler);
    }
    bool IsSet() const { return m_set; }

private:
    rlimit m_previous{};
    void (*m_handler)(int);
    bool m_set = false;
};
} // namespace

void tst_JournalApp::failedSaveEndsWithoutWaitingForAnyoneAfterASignal_data()
{
    QTest::addColumn<bool>("quit");        // Quit is clicked after the row is added
    QTest::addColumn<QString>("signalAt"); // "": no signal; "start": at once; "box": over the box
    QTest::newRow("stop signal, no box open") << false << "start";
    QTest::newRow("stop signal over the background save's failure box") << false << "box";
    QTest::newRow("stop signal over the close save's failure box") << true << "box";
    QTest::newRow("Quit, the failure box answered") << true << "";
}

// Every save fails. The user's boxes are real windows, answered (OK) by a watcher only when no
// stop signal is meant to end them. Whatever happens, the run ends reporting the failed save,
// and no box waits after a stop signal.
void tst_JournalApp::failedSaveEndsWithoutWaitingForAnyoneAfterASignal()
{
    QFETCH(bool, quit);
    QFETCH(QString, signalAt);
    InFolder here;
    WriteBytes("pw.dat", twoRowsJournal);
    FileSizeLimit limit(64);
    QVERIFY(limit.IsSet());

    QStringList boxesBeforeSignal, boxesAfterSignal;
    bool signalled = false;
    QTimer watcher;
    watcher.setInterval(20);
    connect(&watcher, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        const QString caption = box->windowTitle();
        if (signalled) {
            boxesAfterSignal << caption;
            box->accept();
        } else if (boxesBeforeSignal.isEmpty() || boxesBeforeSignal.last() != caption) {
            boxesBeforeSignal << caption;
            if (signalAt == "box") {
                signalled = true;
                ::raise(SIGTERM);
            } else {
                box->accept();
            }
        }
    });
    watcher.start();
    QTimer::singleShot(0, this, [&] {
        JournalDialog *dialog = RunningDialog();
        if (!dialog)
            return;
        AddRow(*dialog, "2024-05-03", "Third", "text");
        if (signalAt == "start") {
            signalled = true;
            ::raise(SIGTERM);
        }
        if (quit)
            dialog->ControlAs<QPushButton>(IdOk)->click();
    });
    JournalApp app([] { return true; });
    QVERIFY(app.Run());
    watcher.stop();

    QVERIFY(!app.JournalSaved());
    QCOMPARE(boxesBeforeSignal,
             signalAt == "start" ? QStringList() : QStringList{"Error Writing File"});
    QCOMPARE(boxesAfterSignal, QStringList());
    QCOMPARE(here.Journal(), twoRowsJournal);
}

void tst_JournalApp::terminationByThePlatformEndsTheDialogLikeASignal()
{
    // The session manager's "die" reaches the application as a Quit event. It arrives here
    // while Add's Yes/No question is open.
    InFolder here;
    bool questionOpen = false;
    const auto question = [] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        return box && box->isVisible();
    };
    std::optional<WhenReady> whenAsked;
    QTimer::singleShot(0, this, [&] {
        JournalDialog *dialog = RunningDialog();
        if (!dialog)
            return;
        AddTwoRows(*dialog);
        whenAsked.emplace(question, [&] {
            questionOpen = question();
            QEvent quit(QEvent::Quit);
            QCoreApplication::sendEvent(qApp, &quit);
        });
        AddRow(*dialog, "2024-05-02", "Newer", "asks first");
    });
    QVERIFY(JournalApp([] { return true; }).Run());
    QVERIFY(questionOpen);
    QCOMPARE(here.Journal(), twoRowsJournal);
    // Not handled as a quit of every event loop: boxes (a save error) can still be shown.
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] { loop.exit(7); });
    QCOMPARE(loop.exec(), 7);
}

void tst_JournalApp::applicationQuitStillSavesTheJournal()
{
    InFolder here;
    QTimer::singleShot(0, this, [&] {
        if (JournalDialog *dialog = RunningDialog()) {
            AddTwoRows(*dialog);
            QCoreApplication::exit(0); // ends every event loop, the dialog's included
        }
    });
    QVERIFY(JournalApp([] { return true; }).Run());
    QCOMPARE(here.Journal(), twoRowsJournal);
}

QTEST_MAIN(tst_JournalApp)
#include "tst_journalapp.moc"
