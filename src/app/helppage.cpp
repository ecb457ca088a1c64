// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/helppage.h"

#include "resources/resources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
Text FileNameText(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

bool SameFolder(const QString &one, const QString &other)
{
    const QString canonical = QFileInfo(one).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(other).canonicalFilePath();
}
} // namespace

Text HelpPageFor(const QString &programFolder)
{
    const QString installed =
        QDir::cleanPath(programFolder + QStringLiteral("/" LUMENLOG_DATA_FROM_BIN "/help.html"));
    if (QFileInfo::exists(installed))
        return FileNameText(installed);
    // A build folder holds the program but not its data, which stays in the source tree.
    const QString inSources = QStringLiteral(LUMENLOG_SOURCE_DIR "/docs/help.html");
    if (SameFolder(programFolder, QStringLiteral(LUMENLOG_BUILD_DIR)) &&
        QFileInfo::exists(inSources))
        return FileNameText(inSources);
    return HelpPageAddress();
}
