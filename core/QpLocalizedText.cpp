#include "core/QpLocalizedText.h"

namespace {

TQpLocalizeFunction& LocalizeFunction()
{
    static TQpLocalizeFunction function;
    return function;
}

} // namespace

void SetCoreLocalizeFunction(TQpLocalizeFunction function)
{
    LocalizeFunction() = std::move(function);
}

std::u16string CoreLocalizedString(int id, std::u16string_view defaultText)
{
    const TQpLocalizeFunction& function = LocalizeFunction();
    return function ? function(id, defaultText) : std::u16string(defaultText);
}
