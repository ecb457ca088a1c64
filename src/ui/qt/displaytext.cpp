// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/displaytext.h"

#include "common/textcodec.h"

namespace {
QString FromUtf8(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}
} // namespace

QString ToDisplay(std::string_view bytes)
{
    return ToDisplay(bytes, IsValidUtf8(bytes));
}

QString ToDisplay(std::string_view part, bool wholeIsUtf8)
{
    return wholeIsUtf8 ? FromUtf8(part) : FromUtf8(Windows1252ToUtf8(part));
}

Text FromDisplay(const QString &shown)
{
    return shown.toUtf8().toStdString();
}
