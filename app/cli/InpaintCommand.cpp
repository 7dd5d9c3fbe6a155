// velmora-cli inpaint: covers a defect with pixels from elsewhere in the same photo. The footprint mask
// (non-zero = replace) has the photo's size; its bounding square is the target, and the source square of
// the same size has its top-left at --source. Without options the orientation is chosen automatically and
// the colour is corrected per channel (mode 2), as the hand tool does; --time reports the repair's own time.

#include "app/cli/Arguments.h"
#include "app/cli/CliCommand.h"
#include "app/cli/ImageFile.h"
#include "inpainting/FootprintRepair.h"

#include <chrono>
#include <iostream>

namespace {

constexpr const char* kUsage = "inpaint PHOTO MASK OUT --source X,Y [--orientation 0..7|auto] [--mode 0|1|2] "
                               "[--blend] [--long-defect] [--time]";

int FailUsage(const std::string& message)
{
    return cli::Fail(message + "\nusage: velmora-cli " + kUsage);
}

int Run(const cli::CommandArgs& args)
{
    const cli::TArguments arguments(args, {"source", "orientation", "mode"},
                                    {"blend", "long-defect", "time"});
    if (!arguments.Ok())
        return FailUsage(arguments.Error());
    if (arguments.Positional().size() != 3)
        return FailUsage("expected the photo, the mask and the output file");
    if (!arguments.Has("source"))
        return FailUsage("missing --source");
    std::vector<int> source;
    if (!cli::ParseIntList(arguments.Value("source"), 2, source))
        return FailUsage("--source must be two whole numbers X,Y, not \"" + arguments.Value("source") + "\"");

    TRepairOptions options;
    options.Blend = arguments.Has("blend");
    options.LongDefect = arguments.Has("long-defect");
    std::string error;
    if (!arguments.Int("mode", 0, 2, options.Mode, error, false))
        return FailUsage(error);
    if (arguments.Has("orientation") && arguments.Value("orientation") != "auto" &&
        !arguments.Int("orientation", 0, 7, options.Orientation, error)) {
        return FailUsage("--orientation must be a whole number from 0 to 7 or \"auto\", not \"" +
                         arguments.Value("orientation") + "\"");
    }

    const std::string& photoPath = arguments.Positional()[0];
    const std::string& maskPath = arguments.Positional()[1];
    TQpPixelBuffer before;
    if (!cli::LoadImageFile(photoPath, before, error))
        return cli::Fail(error);
    TQpPixelMask footprint;
    if (!cli::LoadMaskFile(maskPath, footprint, error))
        return cli::Fail(error);
    if (footprint.Width != before.Width || footprint.Height != before.Height) {
        return cli::Fail("the mask is " + std::to_string(footprint.Width) + " x " +
                         std::to_string(footprint.Height) + " but the photo is " +
                         std::to_string(before.Width) + " x " + std::to_string(before.Height));
    }

    const TQpRect target = FootprintSquare(footprint);
    const TQpRect sourceSquare{source[0], source[1], source[0] + target.Width(), source[1] + target.Height()};
    if (!target.IsEmpty() && IntersectRect(sourceSquare, before.GetBounds()).IsEmpty())
        return cli::Fail("the source square at " + arguments.Value("source") + " lies outside the " +
                         std::to_string(before.Width) + " x " + std::to_string(before.Height) + " photo");

    TQpPixelBuffer after;
    if (!after.SetFormatAndBounds(before.Format, before.GetBounds()))
        return cli::Fail("not enough memory for the repaired photo");
    after.CopyFrom(before);
    TRepairResult result;
    const auto start = std::chrono::steady_clock::now();
    if (!RepairFootprint(after, before, footprint, source[0], source[1], options, result, error))
        return cli::Fail(error + " (" + maskPath + ")");
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    if (!cli::SaveImageFile(arguments.Positional()[2], after, error))
        return cli::Fail(error);
    std::cout << "target " << result.Target.Left << "," << result.Target.Top << "," << result.Target.Right
              << "," << result.Target.Bottom << " orientation " << result.Orientation << '\n';
    if (arguments.Has("time"))
        std::cout << "repair " << elapsed.count() << " ms\n";
    return 0;
}

} // namespace

VELMORA_CLI_COMMAND("inpaint", kUsage, Run);
