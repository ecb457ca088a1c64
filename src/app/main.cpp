// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"
#include "app/journalapp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace {
// The command line is read with a core application, which needs no display, and the folder is
// entered before the window toolkit starts or any file is touched.
StartRequest ReadCommandLine(int argc, char *argv[])
{
    QCoreApplication core(argc, argv);
    StartRequest request = ParseCommandLine(QCoreApplication::arguments());
    if (!request.exitNow)
        EnterFolder(request);
    if (!request.exitNow && request.mergeCopy)
        MergeCopy(request);
    return request;
}
} // namespace

int main(int argc, char *argv[])
{
    const StartRequest request = ReadCommandLine(argc, argv);
    if (request.exitNow) {
        std::fputs(request.standardOutput.toLocal8Bit().constData(), stdout);
        std::fputs(request.standardError.toLocal8Bit().constData(), stderr);
        return request.exitStatus;
    }
    // Every argument has been dealt with: the toolkit sees the program's name only, and takes
    // none of them for an option of its own.
    int toolkitArgc = 1;
    QApplication application(toolkitArgc, argv);
    JournalApp journal;
    const int status = journal.Run() && journal.JournalSaved() ? 0 : 1;
    // Qt 6.4's Wayland client can hang for good while it closes its connection: its event
    // thread waits for a read that another thread prepared and never finished. The journal is
    // saved and its lock released by now, so there the process ends without that teardown.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
