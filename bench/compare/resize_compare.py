"""Times Lanczos resizing of real photographs with Velmora, Pillow and OpenCV and prints the figures
side by side. Each figure is the fastest of several runs, measured inside one process per library so that
file reading and writing stay out of it. Run through resize.sh."""

import argparse
import os
import subprocess
import tempfile
import time

import cv2
import numpy
from PIL import Image


def best_of(repeats, action):
    best = float("inf")
    result = None
    for _ in range(repeats):
        start = time.perf_counter()
        result = action()
        best = min(best, (time.perf_counter() - start) * 1000.0)
    return best, result


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    # Header: "P6\n<w> <h>\n255\n"
    parts = data.split(b"\n", 3)
    width, height = map(int, parts[1].split())
    return numpy.frombuffer(parts[3], dtype=numpy.uint8).reshape(height, width, 3)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--photos", required=True)
    parser.add_argument("--repeats", type=int, default=5)
    args = parser.parse_args()

    cases = [
        # (label, photo, prepared size or None, target size)
        ("24 MP -> half (6000x4000 -> 3000x2000)", "dragonfly_12mp.jpg", (6000, 4000), (3000, 2000)),
        ("6 MP -> double (2056x3088 -> 4112x6176)", "dogs_window.jpg", None, (4112, 6176)),
    ]
    threads = cv2.getNumThreads()
    print(f"Pillow {Image.__version__}, OpenCV {cv2.__version__} ({threads} threads by default), "
          f"{os.cpu_count()} CPUs; fastest of {args.repeats} runs, milliseconds")
    header = f"{'case':42} {'Velmora':>9} {'Pillow':>9} {'OpenCV 1t':>10} {'OpenCV':>9}   Velmora vs Pillow: max |diff|"
    print(header)
    print("-" * len(header))
    with tempfile.TemporaryDirectory() as scratch:
        for label, photo, prepared, target in cases:
            image = Image.open(os.path.join(args.photos, photo)).convert("RGB")
            if prepared and image.size != prepared:
                # The 24-megapixel input is the 12-megapixel photograph enlarged once with Lanczos.
                image = image.resize(prepared, Image.LANCZOS)
            source = os.path.join(scratch, "in.ppm")
            result = os.path.join(scratch, "out.ppm")
            image.save(source)
            array = numpy.asarray(image)

            ours = float(subprocess.check_output(
                [args.tool, source, result, str(target[0]), str(target[1]), str(args.repeats)], text=True))
            pillow, pillow_image = best_of(args.repeats, lambda: image.resize(target, Image.LANCZOS))
            cv2.setNumThreads(1)
            opencv_single, _ = best_of(args.repeats,
                                       lambda: cv2.resize(array, target, interpolation=cv2.INTER_LANCZOS4))
            cv2.setNumThreads(threads)
            opencv, _ = best_of(args.repeats, lambda: cv2.resize(array, target, interpolation=cv2.INTER_LANCZOS4))

            difference = numpy.abs(read_ppm(result).astype(int) - numpy.asarray(pillow_image).astype(int))
            print(f"{label:42} {ours:9.1f} {pillow:9.1f} {opencv_single:10.1f} {opencv:9.1f}   "
                  f"{difference.max()} (mean {difference.mean():.3f})")


if __name__ == "__main__":
    main()
