// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks for. It is read before any window is opened or any file touched,
// so that --help, --version and a mistyped option work without a display and leave no journal
// behind.
struct StartRequest
{
    // True when the program is to end at once with exitStatus, after printing standardOutput
    // and standardError.
    bool exitNow = false;
    int exitStatus = 0;
    QString standardOutput;
    QString standardError;
    // The folder to keep the journal in; none for the current folder.
    std::optional<QString> folder;
    // The copy to merge into the journal, without a window (absolute); none: the window opens.
    std::optional<QString> mergeCopy;
};

// Exit status of a wrong command line or an unusable folder.
inline constexpr int UsageErrorStatus = 2;

// `arguments` as QCoreApplication::arguments() gives them, the program's name first.
StartRequest ParseCommandLine(const QStringList &arguments);

// Makes `folder` the working directory, so that the journal is kept there exactly as if the
// program had been started in it. When that fails, or when neither the journal nor a new file
// can be written there, the request is changed to end with a message.
void EnterFolder(StartRequest &request);

// Merges the request's copy into the journal of the working directory and changes the request
// to end with what was done: status 0 once merged; 1, with everything left as it was, when a
// window has the journal open or it cannot be read or written; 2 when the copy cannot be read
// or is no journal, which leaves it alone.
void MergeCopy(StartRequest &request);
