#include "plugin/MessageBox.h"

#include <cstdio>

namespace {

TMessageBoxHandler g_handler = nullptr;
void* g_context = nullptr;

} // namespace

void ShowMessageBox(std::intptr_t owner, const std::string& text, const std::string& caption,
                    TMessageIcon icon)
{
    if (g_handler != nullptr) {
        g_handler(owner, text.c_str(), caption.c_str(), static_cast<int>(icon), g_context);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void SetMessageBoxHandler(TMessageBoxHandler handler, void* context)
{
    g_handler = handler;
    g_context = context;
}
