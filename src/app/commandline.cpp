#include "app/commandline.h"

#include "journal/journallock.h"
#include "resources/resources.h"

#include <QCommandLineParser>
#include <QFile>

#include <cerrno>
#include <cstring>
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
    parser.addOption(help);
    parser.addOption(version);
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
