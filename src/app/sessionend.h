// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

class QDialog;
class QSessionManager;

// Ends the main dialog the way its close box does (reject, and so the save of the journal)
// when the process receives SIGTERM, SIGHUP or SIGINT, or when the desktop session ends: the
// session manager's request to commit data, and the application's Quit event, which the
// platform sends when the session manager or the system tells the program to terminate.
//
// The close box cannot be used while a nested modal window (a message box, the Date or About
// dialog) is open, and neither should an ending: the handler that opened the window would carry
// on after the save and its work would be lost. So an ending first closes every popup and nested
// modal window (a Yes/No question answers No), waits until the handlers that opened them have
// returned to the main dialog's own event loop, and only then rejects the main dialog.
class SessionEnd : public QObject
{
    Q_OBJECT

public:
    // Watches the stop signals and the session manager for as long as this object lives, which
    // must be around the main dialog's exec().
    explicit SessionEnd(QDialog &mainDialog);
    ~SessionEnd() override;

    // Asks for the end; repeated requests while one is under way change nothing.
    void RequestEnd();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void OnStopSignal();
    void OnCommitData(QSessionManager &manager);
    void Step();
    static bool CloseNestedWindows(QDialog &mainDialog);

    QDialog &m_dialog;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_retry;
    int m_mainLoopLevel;
    int m_waitedSteps = 0;
    bool m_requested = false;
};
