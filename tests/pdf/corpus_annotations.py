#!/usr/bin/env python3
"""Lists each page's annotations as qpdf reads them, for the annotation corpus test.

Usage: corpus_annotations.py MAX_PAGES FILE.pdf...

For every file, runs qpdf once (JSON version 2, no stream data) and prints

  file <path>
  status accepted | warnings | failed | encrypted
  page <index> <count>                    the length of the page's "Annots" (0 without)
  annot <page> <i> <kind> [x0 y0 x1 y1] <flags> <appearance>

kind is "link" (Subtype /Link, or no Subtype and an /S entry), "other"
(any other dictionary), "none" (a null element) or "bad" (an element that
is no dictionary, a non-name Subtype, or a link without four numbers in
Rect: the library refuses the list then). Links carry their normalised
Rect. flags is F (0 when absent); appearance is "yes" when AP's N is a
stream or a dictionary whose AS entry names a stream, else "no".
Pages beyond MAX_PAGES are not listed.
"""
import json
import re
import subprocess
import sys

REF = re.compile(r"^(\d+) (\d+) R$")


def main():
    max_pages = int(sys.argv[1])
    for path in sys.argv[2:]:
        print("file", path)
        run = subprocess.run(["qpdf", "--json=2", "--json-key=pages", "--json-key=qpdf",
                              "--json-stream-data=none", path], capture_output=True)
        if run.returncode not in (0, 3):
            print("status failed")
            continue
        try:
            data = json.loads(run.stdout)
        except ValueError:
            print("status failed")
            continue
        objects = data["qpdf"][1]
        trailer = objects.get("trailer", {}).get("value", {})
        if "/Encrypt" in trailer:
            print("status encrypted")
            continue
        print("status", "accepted" if run.returncode == 0 else "warnings")

        def entry(ref):
            return objects.get("obj:" + ref)

        def resolve(value, depth=0):
            if isinstance(value, str) and REF.match(value) and depth < 32:
                found = entry(value)
                if found is None:
                    return None
                if "stream" in found:
                    return {"__stream__": True, **found["stream"].get("dict", {})}
                return resolve(found.get("value"), depth + 1)
            return value

        def is_stream(value):
            return isinstance(value, dict) and value.get("__stream__", False)

        for index, page in enumerate(data.get("pages", [])[:max_pages]):
            page_dict = resolve(page["object"]) or {}
            annots = resolve(page_dict.get("/Annots"))
            if not isinstance(annots, list):
                print("page", index, 0)
                continue
            print("page", index, len(annots))
            for i, element in enumerate(annots):
                annot = resolve(element)
                if annot is None:
                    print("annot", index, i, "none", 0, "no")
                    continue
                if not isinstance(annot, dict) or is_stream(annot):
                    print("annot", index, i, "bad", 0, "no")
                    continue
                subtype = resolve(annot.get("/Subtype"))
                if subtype is not None and not (isinstance(subtype, str) and subtype.startswith("/")):
                    print("annot", index, i, "bad", 0, "no")
                    continue
                link = subtype == "/Link" or (subtype is None and resolve(annot.get("/S")) is not None)
                flags = resolve(annot.get("/F"))
                flags = flags if isinstance(flags, int) and not isinstance(flags, bool) else 0
                appearance = "no"
                ap = resolve(annot.get("/AP"))
                if isinstance(ap, dict) and not is_stream(ap):
                    normal = resolve(ap.get("/N"))
                    if is_stream(normal):
                        appearance = "yes"
                    elif isinstance(normal, dict):
                        state = resolve(annot.get("/AS"))
                        if isinstance(state, str) and state.startswith("/") and is_stream(resolve(normal.get(state))):
                            appearance = "yes"
                if not link:
                    print("annot", index, i, "other", flags, appearance)
                    continue
                rect = resolve(annot.get("/Rect"))
                numbers = [resolve(v) for v in rect[:4]] if isinstance(rect, list) else []
                if len(numbers) < 4 or not all(isinstance(v, (int, float)) and not isinstance(v, bool) for v in numbers):
                    print("annot", index, i, "bad", 0, "no")
                    continue
                x0, y0, x1, y1 = numbers
                print("annot", index, i, "link", min(x0, x1), min(y0, y1), max(x0, x1), max(y0, y1), flags, appearance)


main()
