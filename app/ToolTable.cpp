#include "app/ToolTable.h"

#include "framework/QpApplication.h"
#include "tools/separation/SeparationTool.h"

namespace {

template <class T> TQpGraphicsTool* CreateTool()
{
    return QpApplication->CreateModule<T>();
}

constexpr TToolEntry kTools[] = {
    {&CreateTool<TQpSeparationTool>, 71, true},
};

} // namespace

std::span<const TToolEntry> ToolTable()
{
    return kTools;
}
