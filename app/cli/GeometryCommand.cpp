#include "app/cli/GeometryCommand.h"

#include "app/cli/ImageFile.h"

#include <QFileInfo>
#include <QString>

#include <iostream>

namespace cli {

namespace {

// The format OUT's extension names, -1 for none the program writes.
std::int32_t OutputFormat(const std::string& path)
{
    const QString suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower();
    if (suffix == "jpg" || suffix == "jpeg")
        return kJpegFormat;
    if (suffix == "tif" || suffix == "tiff")
        return kTiffFormat;
    if (suffix == "png")
        return kPngFormat;
    if (suffix == "bmp")
        return kBmpFormat;
    return -1;
}

} // namespace

int FailUsage(const std::string& message, const char* usage)
{
    return Fail(message + "\nusage: velmora-cli " + usage);
}

int RunGeometryCommand(const TArguments& arguments, const char* usage,
                       const std::function<bool(TQpGraphicsImage&, std::string&)>& operation)
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

    const std::int32_t format = OutputFormat(out);
    if (format < 0)
        return Fail("cannot write \"" + out + "\": use a .png, .bmp, .jpg or .tif file name");
    TQpGraphicsImage image;
    if (!LoadImageFile(in, image, error))
        return Fail(error);
    if (!operation(image, error))
        return Fail(error);
    if (!image.SaveImageFile(out, format, quality))
        return Fail("cannot write \"" + out + "\": " + image.SaveFailure());
    std::cout << out << ": " << image.Width() << " x " << image.Height() << '\n';
    return 0;
}

} // namespace cli
