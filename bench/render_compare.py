#!/usr/bin/env python3
"""Rendering speed against mutool on the corpus's heaviest pages.

The heaviest pages are the 20 first pages that mutool takes longest to draw
at 96 dpi (every corpus file's first page is timed once to find them). Each
of them is then drawn by the probe ("render PAGE --dpi 96 --stats") and by
"mutool draw -r 96" in turns, best of three each, and the script prints our
time over mutool's per page and overall, with the probe's peak memory (its
memory context, under the 10 MiB budget the probe renders with).

Both are timed as whole processes (start, open, parse, render, PNG out).

    bench/render_compare.py [BUILD_DIR] [CORPUS_DIR]
"""
import glob
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
CORPUS = sys.argv[2] if len(sys.argv) > 2 else os.environ.get("FOLVANE_CORPUS_DIR",
                                                              os.path.join(ROOT, "..", "shared", "corpus"))
PROBE = os.path.join(BUILD, "tools", "probe")
DPI = "96"
PAGES = 20
REPEATS = 3


def timed(command):
    start = time.perf_counter()
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, timeout=300)
    return time.perf_counter() - start, result


def main():
    files = sorted(glob.glob(os.path.join(CORPUS, "*", "*.pdf")))
    out = tempfile.mkdtemp(prefix="folvane-bench-")
    reference = os.path.join(out, "ref.png")
    ours = os.path.join(out, "ours.png")
    weights = []
    for path in files:
        try:
            seconds, result = timed(["mutool", "draw", "-q", "-r", DPI, "-o", reference, path, "1"])
        except subprocess.TimeoutExpired:
            continue
        if result.returncode == 0 and os.path.exists(reference):
            weights.append((seconds, path))
            os.remove(reference)
    heaviest = [path for _, path in sorted(weights, reverse=True)[:PAGES]]
    total_ours = total_theirs = 0.0
    peak_max = 0
    print(f"{'page':48} {'ours ms':>9} {'mutool ms':>9} {'ratio':>6} {'peak KiB':>9}")
    for path in heaviest:
        best_ours = best_theirs = float("inf")
        peak = 0
        for _ in range(REPEATS):
            seconds, result = timed([PROBE, "render", path, "1", "--dpi", DPI, "--stats", "-o", ours])
            best_ours = min(best_ours, seconds)
            for line in result.stdout.splitlines():
                if line.startswith("peak memory:"):
                    peak = int(line.split()[2])
            seconds, _ = timed(["mutool", "draw", "-q", "-r", DPI, "-o", reference, path, "1"])
            best_theirs = min(best_theirs, seconds)
        total_ours += best_ours
        total_theirs += best_theirs
        peak_max = max(peak_max, peak)
        name = os.path.relpath(path, CORPUS)
        print(f"{name:48} {best_ours * 1000:9.1f} {best_theirs * 1000:9.1f} {best_ours / best_theirs:6.2f} "
              f"{peak / 1024:9.0f}")
    if heaviest:
        print(f"{'overall':48} {total_ours * 1000:9.1f} {total_theirs * 1000:9.1f} "
              f"{total_ours / total_theirs:6.2f} {peak_max / 1024:9.0f}")


if __name__ == "__main__":
    main()
