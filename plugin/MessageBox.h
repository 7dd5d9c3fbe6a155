#pragma once
// The plug-in's one way to tell the user something: a modal message box owned by the host's window.
// The plug-in has no toolkit of its own, so the host installs a handler through the library's export;
// without one the message goes to the standard error stream.

#include "plugin/HostInterface.h"

#include <cstdint>
#include <string>

enum class TMessageIcon
{
    None = 0,
    Error = 1,
    Information = 2
};

void ShowMessageBox(std::intptr_t owner, const std::string& text, const std::string& caption,
                    TMessageIcon icon);
// nullptr restores the standard error stream.
void SetMessageBoxHandler(TMessageBoxHandler handler, void* context);
