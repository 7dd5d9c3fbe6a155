#pragma once
// How core classes fetch user-visible texts without depending on the localizer above them: the
// program installs the localizer's lookup once at start; until then, and in tests, the built-in
// English text is used.

#include <functional>
#include <string>
#include <string_view>

using TQpLocalizeFunction = std::function<std::u16string(int id, std::u16string_view defaultText)>;

// An empty function restores the built-in texts.
void SetCoreLocalizeFunction(TQpLocalizeFunction function);
std::u16string CoreLocalizedString(int id, std::u16string_view defaultText);
