#include "app/ToolTable.h"

#include "framework/QpApplication.h"
#include "tools/crop/CropTool.h"
#include "tools/geometry/ResizeTool.h"
#include "tools/geometry/RotateTool.h"
#include "tools/original/OriginalImageTool.h"
#include "tools/separation/SeparationTool.h"

namespace {

template <class T> TQpGraphicsTool* CreateTool()
{
    return QpApplication->CreateModule<T>();
}

constexpr TToolEntry kTools[] = {
    {&CreateTool<TQpSeparationTool>, 71, true},    {&CreateTool<TQpCrop2PlusTool>, 24, false},
    {&CreateTool<TQpRotateTool>, 16, false},       {&CreateTool<TQpResizeTool>, 23, false},
    {&CreateTool<TQpOriginalImageTool>, 0, false},
};

} // namespace

std::span<const TToolEntry> ToolTable()
{
    return kTools;
}
