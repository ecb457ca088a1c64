#include "support/testsupport.h"
#include "app/journalapp.h"
#include "app/journaldialog.h"
#include "resources/resourceids.h"
#include "ui/qtmessageboxes.h"
#include "ui/sockets.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

class tst_JournalApp : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void socketsWorkOnThisSystem();
    void socketsFailWhenNoSocketCanBeMade();
    void socketsCheckClosesItsSocket();
    void failedSocketsShowString103AndNoWindow();
    void runsTheMainDialogUntilItCloses();
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
} // namespace

void tst_JournalApp::cleanup()
{
    QtMessageBoxes::answerer = nullptr;
}

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

    std::vector<BoxRequest> boxes;
    bool windowShown = false;
    QtMessageBoxes::answerer = [&](const BoxRequest &box) {
        boxes.push_back(box);
        for (QWidget *widget : QApplication::topLevelWidgets())
            windowShown = windowShown || widget->isVisible();
        return int(AnswerOk);
    };
    JournalApp app([] { return false; });
    const bool started = app.Run();
    QDir::setCurrent(previous);

    QVERIFY(!started);
    QCOMPARE(boxes.size(), size_t(1));
    QCOMPARE(boxes[0].text, Text("Windows sockets initialization failed."));
    QCOMPARE(boxes[0].caption, Text("Penwick"));
    QCOMPARE(boxes[0].type, BoxOk);
    QVERIFY(boxes[0].warningIcon);
    QCOMPARE(boxes[0].owner, nullptr);
    QVERIFY(!windowShown);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    QVERIFY(QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void tst_JournalApp::runsTheMainDialogUntilItCloses()
{
    QTemporaryDir folder; // the dialog loads and saves its journal in the working folder
    QVERIFY(folder.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.path()));
    bool ownedByRunningDialog = false;
    QPointer<JournalDialog> running;
    QtMessageBoxes::answerer = [&](const BoxRequest &box) {
        ownedByRunningDialog = running && box.owner == running;
        return int(AnswerOk);
    };
    QTimer::singleShot(0, this, [&] {
        running = qobject_cast<JournalDialog *>(QApplication::activeModalWidget());
        if (!running)
            return;
        QtMessageBoxes(nullptr).AppBox("while running", BoxOk);
        QTest::keyClick(running, Qt::Key_Escape);
    });
    JournalApp app([] { return true; });
    const bool started = app.Run();
    QDir::setCurrent(previous);
    QVERIFY(started);
    QCOMPARE(ReadBytes(folder.filePath("pw.dat").toStdString()), std::string());
    QVERIFY(ownedByRunningDialog);
    QVERIFY(running.isNull()); // the dialog lived only while the application ran
}

QTEST_MAIN(tst_JournalApp)
#include "tst_journalapp.moc"
