// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"

#include "common/textfile.h"
#include "journal/journallock.h"
#include "journal/journalmerge.h"
#include "journal/versions.h"
#include "resources/resources.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString programName = QStringLiteral("lumenlog");

QString ErrorLine(const QString &message)
{
    return programName + QStringLiteral(": ") + message + QLatin1Char('\n');
}

StartRequest UsageError(const QString &message, const QString &usage)
{
    StartRequest request;
    request.exitNow = true;
    request.exitStatus = UsageErrorStatus;
    request.standardError = ErrorLine(message) + usage;
    return request;
}
QString ReasonOfLastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString FromPath(const std::string &path)
{
    return QFile::decodeName(path.c_str());
}

QString Reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// What a merge from the command line did, when the journal holds it.
void TellMerged(StartRequest &request, const QString &copy, const FileMergeOutcome &outcome)
{
    const QString journal = FromPath(outcome.journalPath);
    request.standardOutput =
        QStringLiteral("Merged %1 into %2: %3.\n")
            .arg(copy, journal, QString::fromLocal8Bit(outcome.summary.Describe()));
    const KeepOutcome &kept = outcome.keptJournal;
    // An empty journal has nothing to keep, and no version names it.
    const bool failed = kept.result == KeepOutcome::Failed;
    if (!outcome.summary.Empty() && !failed && !kept.path.empty())
        request.standardOutput +=
            QStringLiteral("%1 as it was is kept in %2.\n").arg(journal, FromPath(kept.path));
    else if (!outcome.summary.Empty() && failed)
        request.standardError += ErrorLine(
            QStringLiteral("%1 as it was could not be kept among its versions (%2); it holds the "
                           "merge all the same.")
                .arg(journal, Reason(kept.error)));
    if (outcome.result == FileMergeOutcome::Merged) {
        request.standardOutput +=
            QStringLiteral("The copy is now kept in %1.\n").arg(FromPath(outcome.keptCopy.path));
        return;
    }
    request.exitStatus = 1;
    request.standardError += ErrorLine(
        QStringLiteral("the copy could not be moved among the journal's versions (%1); it is "
                       "still in %2.")
            .arg(Reason(outcome.error), copy));
}

// The versions kept of the journal in `folder`, newest first; reads what is there and creates
// nothing, not even a missing journal.
StartRequest VersionsRequest(const QString &folder)
{
    StartRequest request;
    request.exitNow = true;
    const std::string folderPath = QFile::encodeName(folder).toStdString();
    struct stat info = {};
    const bool exists = ::stat(folderPath.c_str(), &info) == 0;
    if (exists && !S_ISDIR(info.st_mode))
        errno = ENOTDIR;
    const std::optional<std::string> journal =
        exists && S_ISDIR(info.st_mode) ? JournalRealPath(ResolveFileName(folderPath + "/pw.dat"))
                                        : std::nullopt;
    if (!journal) {
        request.exitStatus = UsageErrorStatus;
        request.standardError = ErrorLine(QStringLiteral("cannot find the journal in '%1': %2.")
                                              .arg(folder, ReasonOfLastError()));
        return request;
    }
    const std::string versionsFolder = VersionsRoot() + "/" + VersionFolderName(*journal);
    Text lines;
    for (const KeptVersion &version : ListVersions(versionsFolder))
        lines += DescribeVersion(version);
    request.standardOutput = QString::fromLocal8Bit(lines);
    if (lines.empty())
        request.standardError = ErrorLine(QStringLiteral("no versions of %1 are kept in %2.")
                                              .arg(QFile::decodeName(journal->c_str()),
                                                   QFile::decodeName(versionsFolder.c_str())));
    return request;
}
} // namespace

StartRequest ParseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Keep a dated journal. The journal, pw.dat, and the report's files are "
                       "kept in FOLDER,\nor in the current folder when none is given."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption versions(
        QStringLiteral("versions"),
        QStringLiteral("List the versions kept of the journal in FOLDER, newest first, and exit."));
    const QCommandLineOption merge(
        QStringLiteral("merge"),
        QStringLiteral("Merge FILE, another version of the journal (such as a sync tool's\n"
                       "conflict copy), into the journal in FOLDER, move FILE among the\n"
                       "journal's versions, and exit."),
        QStringLiteral("FILE"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(versions);
    parser.addOption(merge);
    parser.addPositionalArgument(QStringLiteral("FOLDER"),
                                 QStringLiteral("The folder to keep the journal in."),
                                 QStringLiteral("[FOLDER]"));

    if (!parser.parse(arguments))
        return UsageError(parser.errorText(), parser.helpText());

    StartRequest request;
    if (parser.isSet(help)) {
        request.exitNow = true;
        request.standardOutput = parser.helpText();
        return request;
    }
    if (parser.isSet(version)) {
        request.exitNow = true;
        request.standardOutput = programName + QLatin1Char(' ') +
                                 QString::fromLatin1(ProgramVersion()) + QLatin1Char('\n');
        return request;
    }
    const QStringList folders = parser.positionalArguments();
    if (folders.size() > 1)
        return UsageError(QStringLiteral("only one FOLDER may be given."), parser.helpText());
    if (parser.isSet(versions))
        return VersionsRequest(folders.isEmpty() ? QStringLiteral(".") : folders.first());
    if (!folders.isEmpty())
        request.folder = folders.first();
    // Made absolute here: the folder is entered before the copy is read.
    if (parser.isSet(merge))
        request.mergeCopy = QDir::current().absoluteFilePath(parser.value(merge));
    return request;
}

void EnterFolder(StartRequest &request)
{
    if (!request.folder)
        return;
    // chdir rather than QDir::setCurrent, for the reason of a failure.
    int error = ::chdir(QFile::encodeName(*request.folder).constData()) == 0 ? 0 : errno;
    if (error == 0) {
        if (const std::optional<UnwritableFolder> unwritable = FindUnwritableFolder())
            error = unwritable->error;
    }
    if (error == 0)
        return;
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    request.exitNow = true;
    request.exitStatus = UsageErrorStatus;
    request.standardError = ErrorLine(
        QStringLiteral("cannot keep the journal in '%1': %2.").arg(*request.folder, reason));
}

void MergeCopy(StartRequest &request)
{
    const QString copy = *request.mergeCopy;
    const FileMergeOutcome outcome = MergeCopyIntoJournal(QFile::encodeName(copy).toStdString());
    const QString journal = FromPath(outcome.journalPath);
    const QString reason = Reason(outcome.error);
    request.exitNow = true;
    request.exitStatus = 1;
    QString error;
    switch (outcome.result) {
    case FileMergeOutcome::Merged:
    case FileMergeOutcome::CopyNotMoved:
        request.exitStatus = 0;
        TellMerged(request, copy, outcome);
        return;
    case FileMergeOutcome::CopyNotAJournal:
        request.exitStatus = UsageErrorStatus;
        error = QStringLiteral("%1 is not a journal: part of it is no entry. It is left as it is.")
                    .arg(copy);
        break;
    case FileMergeOutcome::CopyUnreadable:
        request.exitStatus = UsageErrorStatus;
        error = QStringLiteral("cannot read %1: %2.").arg(copy, reason);
        break;
    case FileMergeOutcome::SameFile:
        request.exitStatus = UsageErrorStatus;
        error = QStringLiteral("%1 is the journal itself.").arg(copy);
        break;
    case FileMergeOutcome::JournalOpen:
        error = QStringLiteral("the journal in %1 is open in a Lumenlog window; nothing was "
                               "changed. Close it, or let that window merge the copy.")
                    .arg(QDir::currentPath());
        break;
    case FileMergeOutcome::JournalUnusable:
        error =
            outcome.error != 0
                ? QStringLiteral("cannot read %1: %2; nothing was changed.").arg(journal, reason)
                : QStringLiteral("%1 holds text that is part of no entry, which a merge would "
                                 "lose; nothing was changed.")
                      .arg(journal);
        break;
    case FileMergeOutcome::JournalChanged:
        error = QStringLiteral("another program wrote %1 while the copy was merged; nothing was "
                               "changed.")
                    .arg(journal);
        break;
    case FileMergeOutcome::SaveFailed:
        error = QStringLiteral("cannot write %1: %2; it still holds what it held before.")
                    .arg(journal, reason);
        break;
    }
    request.standardError = ErrorLine(error);
}
