#pragma once

#include "common/text.h"

// Asks the desktop to open a file or a web address with the user's associated application.
// The result is not reported: a failure is silent.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual void Open(const Text &target) = 0;
};
