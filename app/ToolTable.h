#pragma once
// The program's tools in tool-panel order: how each is created, the toolbar image of its button, and
// whether it becomes the active tool as soon as it exists (the tools after it are created with it
// active). Each tool installs its own cursors when it is created.

#include <span>

class TQpGraphicsTool;

struct TToolEntry
{
    TQpGraphicsTool* (*Create)();
    int ToolbarImage;
    bool ActivateOnCreation;
};

std::span<const TToolEntry> ToolTable();
