#include "ui/displaytext.h"

QString ToDisplay(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

Text FromDisplay(const QString &shown)
{
    return shown.toUtf8().toStdString();
}
