#pragma once
// The common course of the geometry subcommands: read IN as an image document, apply one operation,
// write OUT. A JPEG goes through the lossless codec: turned, flipped or cropped on whole blocks it keeps
// every untouched block and its metadata.

#include "app/cli/Arguments.h"
#include "model/QpGraphicsImage.h"

#include <functional>
#include <string>

namespace cli {

// Runs `operation` on the image of args' IN and writes OUT. `arguments` must already be parsed and Ok, with
// IN and OUT as its only positional arguments; the operation returns false with `error` set when it
// cannot be applied. The optional --quality (1..100) sets the JPEG quality of OUT when it has to be
// encoded anew (not for a JPEG the lossless codec holds).
int RunGeometryCommand(const TArguments& arguments, const char* usage,
                       const std::function<bool(TQpGraphicsImage&, std::string&)>& operation);

// Fails with the message followed by the usage line.
int FailUsage(const std::string& message, const char* usage);

} // namespace cli
