#!/usr/bin/python3
"""Side by side on the shared cutout cases: GrowCut, OpenCV's marker watershed and OpenCV's grabCut (five
iterations, undecided = probably background), seeded from the same marks, with their times and their
intersection over union against truth.png. GrowCut's result and the whole separation's time (commits
shown, boundary pass) come from velmora-cli cutout; the time of GrowCut alone (Prepare to Run returning
0 with the commit loop) from the cutout benchmark. Then the box mean at radius 243 on 12 megapixels
against OpenCV's blur with the same window. OpenCV runs on one thread, as GrowCut does.

usage: cutout_compare.py [--build BUILD_DIR] [--testdata DIR] [--no-grabcut]
"""

import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import time


def ensure_opencv():
    try:
        import cv2  # noqa: F401
        return
    except ImportError:
        pass
    # Debian's python3-opencv lives in the system interpreter's packages.
    system = "/usr/bin/python3"
    if os.path.realpath(sys.executable) != os.path.realpath(system) and os.path.exists(system):
        if subprocess.run([system, "-c", "import cv2"], capture_output=True).returncode != 0:
            install_opencv()
        os.execv(system, [system] + sys.argv)
    install_opencv()


def install_opencv():
    print("python3-opencv is missing; installing it with apt-get", file=sys.stderr)
    prefix = [] if os.geteuid() == 0 else ["sudo"]
    subprocess.run(prefix + ["apt-get", "install", "-y", "python3-opencv"], check=True)


def iou(mask, truth):
    import numpy as np
    inter = np.logical_and(mask, truth).sum()
    union = np.logical_or(mask, truth).sum()
    return float(inter) / float(union) if union else 1.0


def best_of(runs, function):
    best = None
    result = None
    for _ in range(runs):
        start = time.perf_counter()
        result = function()
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best, result


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(os.path.dirname(here))
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(root, "build-cutout"))
    parser.add_argument("--testdata", default=os.path.join(os.path.dirname(root), "shared", "testdata"))
    parser.add_argument("--no-grabcut", action="store_true")
    args = parser.parse_args()

    ensure_opencv()
    import cv2
    import numpy as np
    cv2.setNumThreads(1)

    cli = os.path.join(args.build, "app", "velmora-cli")
    bench = os.path.join(args.build, "bench", "cutout", "cutout_bench")
    growcut_times = {}
    if os.path.exists(bench):
        out = subprocess.run([bench, "--benchmark_filter=GrowCutOnCase/[a-z_]+/", "--benchmark_format=json"],
                             check=True, capture_output=True, text=True).stdout
        for b in json.loads(out)["benchmarks"]:
            growcut_times[b["name"].split("/")[1]] = b["real_time"] / 1000.0
    cases_dir = os.path.join(args.testdata, "cutout")
    cases = sorted(d for d in os.listdir(cases_dir) if os.path.isdir(os.path.join(cases_dir, d)))
    print("case            | GrowCut s separation s IoU    | watershed s IoU    | grabCut s IoU    | GrowCut/watershed")
    for case in cases:
        folder = os.path.join(cases_dir, case)
        image = cv2.imread(os.path.join(folder, "image.png"), cv2.IMREAD_COLOR)
        marks = cv2.imread(os.path.join(folder, "marks.png"), cv2.IMREAD_GRAYSCALE)
        truth = cv2.imread(os.path.join(folder, "truth.png"), cv2.IMREAD_GRAYSCALE) >= 128

        with tempfile.TemporaryDirectory() as tmp:
            labels_path = os.path.join(tmp, "labels.png")
            times = []
            for _ in range(3):
                out = subprocess.run([cli, "cutout", os.path.join(folder, "image.png"),
                                      os.path.join(folder, "marks.png"), "--labels", labels_path],
                                     check=True, capture_output=True, text=True).stdout
                times.append(float(re.search(r" in ([0-9.]+) s", out).group(1)))
            ours_time = min(times)
            ours = cv2.imread(labels_path, cv2.IMREAD_GRAYSCALE) == 1

        def watershed():
            markers = np.zeros(marks.shape, np.int32)
            markers[marks == 1] = 1
            markers[marks == 2] = 2
            cv2.watershed(image, markers)
            return markers == 1
        ws_time, ws = best_of(3, watershed)

        if args.no_grabcut:
            gc_time, gc_iou = float("nan"), float("nan")
        else:
            def grabcut():
                mask = np.full(marks.shape, cv2.GC_PR_BGD, np.uint8)
                mask[marks == 1] = cv2.GC_FGD
                mask[marks == 2] = cv2.GC_BGD
                bgd = np.zeros((1, 65), np.float64)
                fgd = np.zeros((1, 65), np.float64)
                cv2.grabCut(image, mask, None, bgd, fgd, 5, cv2.GC_INIT_WITH_MASK)
                return (mask == cv2.GC_FGD) | (mask == cv2.GC_PR_FGD)
            gc_time, gc = best_of(1, grabcut)
            gc_iou = iou(gc, truth)
        grow = growcut_times.get(case, float("nan"))
        print(f"{case:15} | {grow:9.3f} {ours_time:12.3f} {iou(ours, truth):.4f} | {ws_time:11.3f} "
              f"{iou(ws, truth):.4f} | {gc_time:9.2f} {gc_iou:.4f} | {grow / ws_time:5.1f}x", flush=True)

    if os.path.exists(bench):
        out = subprocess.run([bench, "--benchmark_filter=BoxMean12MP/243", "--benchmark_format=json"],
                             check=True, capture_output=True, text=True).stdout
        ours = min(b["real_time"] for b in json.loads(out)["benchmarks"]) / 1000.0
        rng = np.random.default_rng(1)
        big = rng.integers(0, 256, (3000, 4000, 3), dtype=np.uint8)
        cv_time, _ = best_of(3, lambda: cv2.blur(big, (487, 487), borderType=cv2.BORDER_CONSTANT))
        cv2.setNumThreads(-1)
        cv_threads, _ = best_of(3, lambda: cv2.blur(big, (487, 487), borderType=cv2.BORDER_CONSTANT))
        print(f"box mean r=243 on 12 MP: ours {ours:.3f} s; OpenCV blur {cv_time:.3f} s on one thread "
              f"(ratio {ours / cv_time:.1f}x), {cv_threads:.3f} s on all (ratio {ours / cv_threads:.1f}x)")


if __name__ == "__main__":
    main()
