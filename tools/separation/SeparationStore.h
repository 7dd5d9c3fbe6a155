#pragma once
// Storing the object a separation has cut out as a new item of the stored-objects collection, from the
// editor's active document. The document, its history, its file name, its format and its saved state
// never change; the region is only read.

#include <QString>

class TMarkedRegion;
class TQpGraphicsTool;

// Adds the object shown in the region's result (label 4) to the stored-objects collection (StoreObject).
// The object's pixels come from the editor's active document, written with the JPEG quality last chosen
// in the JPEG dialog (the dialog is not shown). On failure the reason goes to `error`, or, when that is
// null, into a message box.
bool StoreSeparatedObject(TQpGraphicsTool& tool, TMarkedRegion& region, QString* itemName = nullptr,
                          QString* error = nullptr);
