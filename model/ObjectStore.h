#pragma once
// Adding a cut-out object to the stored-objects collection without a window: the object's bounding
// rectangle as "<name>.jpg", a 72 x 72 thumbnail "<name>.tmb" and the compressed alpha matte "<name>.alp".
// The object's pixels are read straight from the image; the region is only read.

#include "imaging/QpPixels.h"

#include <QString>
#include <filesystem>
#include <string>

class TMarkedRegion;

// Stores the object shown in the region's result (label 4). `image` is the photo the region labels (its
// size); the item goes into `objectsFolder` (created when missing) under a newly reserved six-digit name.
// On failure no file of the item is left behind and `error` says why.
bool StoreObject(const TQpPixels& image, const TMarkedRegion& region,
                 const std::filesystem::path& objectsFolder, int jpegQuality, std::string& itemName,
                 QString& error);

// The localized message that an object cannot be stored in `folder`.
QString CannotStoreObjectText(const std::filesystem::path& folder);
