#!/bin/sh
# The viewer's paging speed against mutool draw on the same pages at the
# same size: the viewer simulation at 240 x 320 (96 dpi, fit width) over a
# 100-page text document generated here. Prints the time to the first
# complete screen and the time per "next page", and mutool's time per page
# at the viewer's resolution. Each figure is the best of five runs.
#
#   bench/viewer_paging.sh BUILD_DIR
set -e
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work/text100.pdf" <<'PY'
import random, sys
random.seed(1)
words = "the quick brown fox jumps over a lazy dog while viewers render pages of plain text quickly".split()
objs = ["<< /Type /Catalog /Pages 2 0 R >>", None, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
kids = []
for p in range(100):
    text = "BT /F1 10 Tf 12 TL 50 750 Td " + "".join("(%s) '\n" % " ".join(random.choice(words) for _ in range(14)) for _ in range(55)) + "ET"
    objs.append("<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text))
    objs.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents %d 0 R /Resources << /Font << /F1 3 0 R >> >> >>" % len(objs))
    kids.append(len(objs))
objs[1] = "<< /Type /Pages /Kids [%s] /Count 100 >>" % " ".join("%d 0 R" % k for k in kids)
out = b"%PDF-1.4\n"; offsets = []
for i, o in enumerate(objs):
    offsets.append(len(out)); out += ("%d 0 obj\n%s\nendobj\n" % (i + 1, o)).encode()
start = len(out)
out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1) + b"".join(b"%010d 00000 n \n" % o for o in offsets)
out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, start)
open(sys.argv[1], "wb").write(out)
PY
sim="$build/tools/viewer-sim"
best() {  # best of five wall times (seconds) of a command
  python3 - "$@" <<'PY'
import subprocess, sys, time
times = []
for _ in range(5):
    t = time.perf_counter(); subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL); times.append(time.perf_counter() - t)
print(min(times))
PY
}
pages=20
nexts=$(python3 -c "print('; '.join(['nextpage; idle'] * $pages))")
base=$(best "$sim" --script 'idle')
first=$(best "$sim" "$work/text100.pdf" --script 'fitwidth; idle')
paged=$(best "$sim" "$work/text100.pdf" --script "fitwidth; idle; $nexts")
zoom=$("$sim" "$work/text100.pdf" --script 'fitwidth; idle; print' | sed -n 's/.*zoom 0x\([0-9A-F]*\).*/\1/p')
dpi=$(python3 -c "print(int('$zoom', 16) / 65536 * 96)")
one=$(best mutool draw -q -r "$dpi" -o "$work/m%d.png" "$work/text100.pdf" 1)
many=$(best mutool draw -q -r "$dpi" -o "$work/m%d.png" "$work/text100.pdf" "1-$((pages + 1))")
python3 - <<PY
print("viewer at 240 x 320, fit width (%.2f dpi):" % $dpi)
print("  first complete screen: %.1f ms (start-up without a document subtracted)" % (($first - $base) * 1000))
print("  per next page:         %.1f ms" % (($paged - $first) / $pages * 1000))
print("mutool draw at the same resolution:")
print("  per page:              %.1f ms" % (($many - $one) / $pages * 1000))
PY
