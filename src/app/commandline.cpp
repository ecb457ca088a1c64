#include "app/commandline.h"

#include "common/textfile.h"
#include "journal/journallock.h"
#include "journal/versions.h"
#include "resources/resources.h"

#include <QCommandLineParser>
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
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(versions);
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
