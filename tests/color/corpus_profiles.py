#!/usr/bin/env python3
"""Extracts the ICC profiles PDF files embed, for the profile parser tests.

Usage: corpus_profiles.py OUTDIR FILE.pdf...

Finds every ICCBased colour space in each file (through qpdf's JSON view of
its objects), writes each profile stream's decoded data below OUTDIR with
qpdf, and prints for each file a line

  file <index of the file among the arguments, from 0>

followed by one line per profile:

  <object number> <file> <N from the stream dictionary, or 0>

Profiles qpdf cannot decode are left out. No profile lines follow a file
without ICC profiles or one qpdf cannot read. The files of a corpus group
go through one interpreter, which costs more to start than most files
take to read.
"""
import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import reference_cache  # noqa: E402


def run(args):
    """The tool's answer: its exit status and standard output."""
    status, out = reference_cache.run(args, timeout=120)
    return subprocess.CompletedProcess(args, status, out)


def walk(value, found):
    if isinstance(value, list):
        if len(value) == 2 and value[0] == "/ICCBased" and isinstance(value[1], str) and value[1].endswith(" R"):
            found.add(int(value[1].split()[0]))
        for item in value:
            walk(item, found)
    elif isinstance(value, dict):
        for item in value.values():
            walk(item, found)


def extract(pdf, outdir):
    result = run(["qpdf", "--json=2", "--json-key=qpdf", pdf])
    if not result.stdout:
        return 0
    try:
        document = json.loads(result.stdout)
    except ValueError:
        return 0
    objects = document.get("qpdf", [{}, {}])[1]
    found = set()
    walk(objects, found)
    for number in sorted(found):
        entry = objects.get("obj:%d 0 R" % number, {})
        stream = entry.get("stream") if isinstance(entry, dict) else None
        if not isinstance(stream, dict):
            continue
        n = stream.get("dict", {}).get("/N", 0)
        path = os.path.join(outdir, "profile-%d.icc" % number)
        data = run(["qpdf", "--show-object=%d" % number, "--filtered-stream-data", pdf])
        if data.returncode not in (0, 3) or len(data.stdout) == 0:
            continue
        with open(path, "wb") as out:
            out.write(data.stdout)
        print(number, path, n if isinstance(n, int) else 0)
    return 0


def main(outdir, pdfs):
    for index, pdf in enumerate(pdfs):
        print("file", index)
        folder = os.path.join(outdir, str(index))
        os.makedirs(folder, exist_ok=True)
        try:
            extract(pdf, folder)
        except subprocess.TimeoutExpired:
            # As qpdf cannot read it: the profiles listed so far stand.
            pass
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.stderr.write(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2:]))
