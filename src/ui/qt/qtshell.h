#pragma once

#include "ui/shell.h"

#include <QUrl>

#include <functional>

// Opens files and web addresses with the desktop's associated application. A text with a URL
// scheme ("http://...") is opened as it is; anything else is a file name relative to the
// working directory.
class QtShell : public Shell
{
public:
    bool Open(const Text &target) override;

    static QUrl UrlFor(const Text &target);

    // While set, receives every URL instead of the desktop (for tests).
    static inline std::function<void(const QUrl &)> opener;
};
