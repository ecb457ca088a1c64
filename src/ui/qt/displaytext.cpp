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
    return IsValidUtf8(bytes) ? FromUtf8(bytes) : FromUtf8(Windows1252ToUtf8(bytes));
}

Text FromDisplay(const QString &shown)
{
    return shown.toUtf8().toStdString();
}
