// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/appicon.h"

#include <QFile>

// At global scope: Q_INIT_RESOURCE declares the resource's initialiser, which must not land in
// a namespace.
static void InitIconResources()
{
    // The pictures live in the static Qt library, whose resource initialiser the linker would
    // otherwise drop.
    static const bool initialised = [] {
        Q_INIT_RESOURCE(lumenlog);
        return true;
    }();
    (void)initialised;
}

QIcon LoadAppIcon(int id)
{
    InitIconResources();
    QIcon icon;
    for (int size : {16, 32, 48}) {
        const QString file = QStringLiteral(":/icons/%1-%2.png").arg(id).arg(size);
        if (QFile::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}
