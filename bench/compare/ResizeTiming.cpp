// velmora_resize_timing IN.ppm OUT.ppm WIDTH HEIGHT REPEATS
// Reads a binary PPM (P6, 8 bits), resizes it REPEATS times with the library's Lanczos filter, prints the
// fastest time in milliseconds and writes the result. The channel order does not matter to the filter.

#include "imaging/QpLTBitmap.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace {

bool ReadPpm(const char* path, TQpLTBitmap& bitmap)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maximum = 0;
    in >> magic >> width >> height >> maximum;
    in.get();
    if (!in || magic != "P6" || maximum != 255 || !bitmap.SetSize(width, height, pfBGR24))
        return false;
    TQpPixels* pixels = bitmap.GetPixels();
    for (int y = 0; y < height; ++y)
        in.read(reinterpret_cast<char*>(pixels->PixelPtr(0, y)), std::streamsize(width) * 3);
    return bool(in);
}

bool WritePpm(const char* path, TQpLTBitmap& bitmap)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << bitmap.GetWidth() << ' ' << bitmap.GetHeight() << "\n255\n";
    const TQpPixels* pixels = bitmap.GetPixels();
    for (int y = 0; y < pixels->Height; ++y)
        out.write(reinterpret_cast<const char*>(pixels->PixelPtr(0, y)), std::streamsize(pixels->Width) * 3);
    return bool(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::cerr << "usage: velmora_resize_timing IN.ppm OUT.ppm WIDTH HEIGHT REPEATS\n";
        return 2;
    }
    TQpLTBitmap original;
    if (!ReadPpm(argv[1], original)) {
        std::cerr << "cannot read " << argv[1] << '\n';
        return 1;
    }
    const int width = std::atoi(argv[3]);
    const int height = std::atoi(argv[4]);
    const int repeats = std::max(1, std::atoi(argv[5]));
    double best = 1e300;
    std::unique_ptr<TQpLTBitmap> result;
    for (int i = 0; i < repeats; ++i) {
        std::unique_ptr<TQpLTBitmap> copy = original.Clone();
        const auto start = std::chrono::steady_clock::now();
        const bool done = copy && copy->Resize(width, height);
        const auto stop = std::chrono::steady_clock::now();
        if (!done) {
            std::cerr << "resize failed\n";
            return 1;
        }
        best = std::min(best, std::chrono::duration<double, std::milli>(stop - start).count());
        result = std::move(copy);
    }
    std::printf("%.2f\n", best);
    return WritePpm(argv[2], *result) ? 0 : 1;
}
