// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/dialogunits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace {
// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRounded(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}
} // namespace

QFont DialogFont(const DialogTemplate &dialog)
{
    const QString wanted = QString::fromLatin1(dialog.fontName);
    QFont font = QFontDatabase::families().contains(wanted)
                     ? QFont(wanted)
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(dialog.fontPointSize);
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont &font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect MapDialogRect(const DialogRect &rect, DialogBaseUnits base)
{
    const int left = MulDivRounded(rect.x, base.x, 4);
    const int top = MulDivRounded(rect.y, base.y, 8);
    const int right = MulDivRounded(rect.x + rect.width, base.x, 4);
    const int bottom = MulDivRounded(rect.y + rect.height, base.y, 8);
    return QRect(left, top, right - left, bottom - top);
}

QSize MapDialogSize(int width, int height, DialogBaseUnits base)
{
    return QSize(MulDivRounded(width, base.x, 4), MulDivRounded(height, base.y, 8));
}
