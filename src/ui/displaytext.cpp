#include "ui/displaytext.h"

#include "common/textcodec.h"

QString ToDisplay(std::string_view bytes)
{
    const Text utf8 = LocalToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

Text FromDisplay(const QString &shown)
{
    const QByteArray utf8 = shown.toUtf8();
    return Utf8ToLocal(std::string_view(utf8.constData(), size_t(utf8.size())));
}
