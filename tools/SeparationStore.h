#pragma once
// Storing the object a separation has cut out as a new item of the stored-objects collection. The
// object's pixels are written straight from the image, so the document, its history, its file name,
// its format and its saved state never change; the region is only read.

#include "imaging/QpPixels.h"

#include <filesystem>
#include <string>

class QString;
class TMarkedRegion;
class TQpGraphicsTool;

// Adds the object shown in the region's result (label 4) to the stored-objects collection: the object's
// bounding rectangle as "<name>.jpg", a 72 x 72 thumbnail "<name>.tmb" and the compressed alpha matte
// "<name>.alp". The document, its history, file name and saved state are left as they were.
// The object's pixels come from the editor's active document, written with the JPEG quality last chosen
// in the JPEG dialog (the dialog is not shown). On failure the reason goes to `error`, or, when that is
// null, into a message box.
bool StoreSeparatedObject(TQpGraphicsTool& tool, TMarkedRegion& region, QString* itemName = nullptr,
                          QString* error = nullptr);

// The same without a tool or editor: `image` is the photo the region labels (its size), the item goes
// into `objectsFolder` (created when missing) under a newly reserved six-digit name. On failure no file
// of the item is left behind and `error` says why.
bool StoreObject(const TQpPixels& image, const TMarkedRegion& region,
                 const std::filesystem::path& objectsFolder, int jpegQuality, std::string& itemName,
                 QString& error);
