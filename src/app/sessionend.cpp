// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sessionend.h"

#include "session/stopsignals.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QSessionManager>
#include <QThread>

namespace {
// How often an ending looks again whether the nested windows are gone, and how long it waits
// for a handler that will not return before it ends the main dialog regardless.
constexpr int retryMilliseconds = 10;
constexpr int maxWaitedSteps = 300;

int CurrentLoopLevel()
{
    return QThread::currentThread()->loopLevel();
}
} // namespace

SessionEnd::SessionEnd(QDialog &mainDialog)
    : m_dialog(mainDialog), m_mainLoopLevel(CurrentLoopLevel() + 1)
{
    // Until now a stop signal simply ended the process. From here on it waits in the pipe, and
    // one that arrives before the dialog's event loop runs is seen as soon as it does.
    const int readEnd = InstallStopSignalHandlers();
    if (readEnd >= 0) {
        m_notifier = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &SessionEnd::OnStopSignal);
    }
    // The session manager asks for the data to be committed before the session ends.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &SessionEnd::OnCommitData,
            Qt::DirectConnection);
    // Restarted by the session manager, Lumenlog would run in whatever folder that starts
    // programs in, with an empty journal there: never ask to be restarted.
    connect(qGuiApp, &QGuiApplication::saveStateRequest, this, [](QSessionManager &manager) {
        manager.setRestartHint(QSessionManager::RestartNever);
    });
    qApp->installEventFilter(this);
    m_retry.setInterval(retryMilliseconds);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &SessionEnd::Step);
}

SessionEnd::~SessionEnd() = default;

bool SessionEnd::eventFilter(QObject *watched, QEvent *event)
{
    // Left to the application, Quit would try to close the windows in no particular order and
    // give up at the first message box that will not close.
    if (watched == qApp && event->type() == QEvent::Quit) {
        RequestEnd();
        return true;
    }
    return false;
}

void SessionEnd::OnStopSignal()
{
    DrainStopSignals(int(m_notifier->socket()));
    RequestEnd();
}

void SessionEnd::OnCommitData(QSessionManager &manager)
{
    manager.setRestartHint(QSessionManager::RestartNever);
    RequestEnd();
}

void SessionEnd::RequestEnd()
{
    if (m_requested)
        return;
    m_requested = true;
    Step();
}

void SessionEnd::Step()
{
    if (!m_dialog.isVisible())
        return; // the dialog has ended already
    const bool nestedOpen = CloseNestedWindows(m_dialog);
    const bool inNestedLoop = CurrentLoopLevel() > m_mainLoopLevel;
    if ((nestedOpen || inNestedLoop) && ++m_waitedSteps < maxWaitedSteps) {
        m_retry.start(); // once the nested loops have returned to the dialog's own
        return;
    }
    m_dialog.reject();
}

// Closes the popups and the modal windows above the main dialog, the innermost first. True
// when there were any.
bool SessionEnd::CloseNestedWindows(QDialog &mainDialog)
{
    bool closed = false;
    while (QWidget *popup = QApplication::activePopupWidget()) {
        popup->close();
        closed = true;
        if (QApplication::activePopupWidget() == popup)
            break; // refuses to close; the next step tries again
    }
    QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal != &mainDialog) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject(); // a message box without a cancel button is closed as well
        else
            modal->close();
        closed = true;
    }
    return closed;
}
