#include "app/cli/GeometryCommand.h"

#include "app/cli/ImageFile.h"

#include <iostream>

namespace cli {

int FailUsage(const std::string& message, const char* usage)
{
    return Fail(message + "\nusage: velmora-cli " + usage);
}

int RunGeometryCommand(const TArguments& arguments, const char* usage,
                       const std::function<bool(TQpLTBitmap&, std::string&)>& operation)
{
    if (!arguments.Ok())
        return FailUsage(arguments.Error(), usage);
    if (arguments.Positional().size() != 2)
        return FailUsage("expected an input and an output file", usage);
    int quality = 90;
    std::string error;
    if (!arguments.Int("quality", 1, 100, quality, error, false))
        return FailUsage(error, usage);
    const std::string& in = arguments.Positional()[0];
    const std::string& out = arguments.Positional()[1];

    TQpLTBitmap bitmap;
    {
        TQpPixelBuffer pixels;
        if (!LoadImageFile(in, pixels, error))
            return Fail(error);
        if (!bitmap.Assign(pixels))
            return Fail("not enough memory for \"" + in + "\"");
    }
    if (!operation(bitmap, error))
        return Fail(error);
    if (!SaveImageFile(out, *bitmap.GetPixels(), error, quality))
        return Fail(error);
    std::cout << out << ": " << bitmap.GetWidth() << " x " << bitmap.GetHeight() << '\n';
    return 0;
}

} // namespace cli
