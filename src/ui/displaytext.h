#pragma once

#include "common/text.h"

#include <QString>

#include <string_view>

// The one crossing between the journal's bytes and the toolkit's strings. Every text shown in a
// widget or read back from one goes through this pair, so the encoding is decided in one place.
QString ToDisplay(std::string_view bytes);
Text FromDisplay(const QString &shown);
