// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/qtshell.h"

#include "ui/qt/displaytext.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

QUrl QtShell::UrlFor(const Text &target)
{
    const QString text = ToDisplay(target);
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (scheme.match(text).hasMatch())
        return QUrl(text);
    // File names are the system's bytes, not display text.
    const QString name = QFile::decodeName(QByteArray(target.data(), qsizetype(target.size())));
    return QUrl::fromLocalFile(QDir::current().absoluteFilePath(name));
}

// False when Qt found no program to hand the URL to (no xdg-open, no desktop portal).
bool QtShell::Open(const Text &target)
{
    return QDesktopServices::openUrl(UrlFor(target));
}
