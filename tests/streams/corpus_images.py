#!/usr/bin/env python3
"""Lists the CCITTFax and JBIG2 images of a PDF file for the decoder tests.

Usage: corpus_images.py FILE.pdf OUTDIR

For every such image it writes the encoded data (and JBIG2 globals) into
OUTDIR, has poppler's pdfimages write its own decoding of the image as a
PBM file there, and prints one line per image:

  <kind> <filter> <width> <height> <data> <globals or -> <reference.pbm> key=value...

kind is pdfimages' image type (image, stencil, mask, smask); the key=value
pairs are the image's decode parameters as the file gives them. Images
whose reference could not be written are left out.
"""
import base64
import json
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import reference_cache  # noqa: E402


def run(args):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout


def ask(args):
    """A tool's standard output, kept in the reference cache; raises as run() does."""
    status, out = reference_cache.run(args)
    if status != 0:
        raise subprocess.CalledProcessError(status, args, out)
    return out


def list_images(pdf):
    rows = []
    for line in ask(["pdfimages", "-list", pdf]).decode("latin-1").splitlines()[2:]:
        cols = line.split()
        if len(cols) < 11:
            continue
        obj = None if cols[10] == "[inline]" else int(cols[10])
        rows.append({"index": int(cols[1]), "kind": cols[2], "width": int(cols[3]),
                     "height": int(cols[4]), "bpc": int(cols[7]), "enc": cols[8], "obj": obj})
    return rows


def value_text(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    return str(value).lstrip("/")


def filters_of(stream_dict):
    names = stream_dict.get("/Filter", [])
    parms = stream_dict.get("/DecodeParms", [])
    if not isinstance(names, list):
        names, parms = [names], [parms]
    if not isinstance(parms, list):
        parms = [parms]
    parms = parms + [None] * (len(names) - len(parms))
    return names, parms


def inline_ccitt_images(objects):
    """Decode parameters and data of the inline CCITT images, in content order."""
    found = []
    for value in objects.values():
        data = value.get("stream", {}).get("data")
        if not data:
            continue
        content = base64.b64decode(data)
        for match in re.finditer(rb"\bBI\b(.*?)\bID\s", content, re.S):
            head = match.group(1).decode("latin-1")
            if "/CCF" not in head and "/CCITTFaxDecode" not in head:
                continue
            parms = {}
            dp = re.search(r"/(?:DP|DecodeParms)\s*<<(.*?)>>", head, re.S)
            if dp:
                for key, val in re.findall(r"/(\w+)\s+([^/\s>]+)", dp.group(1)):
                    parms[key] = val
            end = re.compile(rb"\sEI(\s|$)").search(content, match.end())
            if end:
                found.append((parms, content[match.end():end.start()]))
    return found


def wrap_in_pdf(path, width, height, mask, parms, data):
    """Writes a one-page PDF whose only image is the given CCITT data."""
    dp = " ".join("/%s %s" % kv for kv in parms.items())
    kind = "/ImageMask true" if mask else "/ColorSpace /DeviceGray /BitsPerComponent 1"
    content = b"q %d 0 0 %d 0 0 cm /Im0 Do Q" % (width, height)
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] /Contents 4 0 R "
        b"/Resources << /XObject << /Im0 5 0 R >> >> >>" % (width, height),
        b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream",
        ("<< /Type /XObject /Subtype /Image /Width %d /Height %d %s /Filter /CCITTFaxDecode "
         "/DecodeParms << %s >> /Length %d >>\nstream\n" % (width, height, kind, dp, len(data))
         ).encode("latin-1") + data + b"\nendstream",
    ]
    out = bytearray(b"%PDF-1.4\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    with open(path, "wb") as f:
        f.write(out)


def main():
    pdf, out = sys.argv[1], sys.argv[2]
    images = [i for i in list_images(pdf) if i["enc"] in ("ccitt", "jbig2") and i["bpc"] == 1]
    if not images:
        return
    run(["pdfimages", pdf, os.path.join(out, "ref")])
    doc = json.loads(ask(["qpdf", "--json=2", "--json-key=qpdf", "--json-stream-data=inline",
                          "--decode-level=generalized", pdf]))
    objects = doc["qpdf"][1]
    inline = None
    inline_used = 0
    for image in images:
        reference = os.path.join(out, "ref-%03d.pbm" % image["index"])
        if not os.path.exists(reference):
            continue
        data_path = os.path.join(out, "data-%03d.bin" % image["index"])
        globals_path = "-"
        params = {}
        if image["obj"] is None:
            if image["enc"] != "ccitt":
                continue
            if inline is None:
                inline = inline_ccitt_images(objects)
            if inline_used >= len(inline):
                continue
            params, data = inline[inline_used]
            inline_used += 1
            with open(data_path, "wb") as f:
                f.write(data)
            # pdfimages decodes inline images from the wrong place; the same
            # data in an image XObject gives its true decoding.
            wrapped = os.path.join(out, "inline-%03d.pdf" % image["index"])
            wrap_in_pdf(wrapped, image["width"], image["height"], image["kind"] != "image",
                        params, data)
            run(["pdfimages", wrapped, os.path.join(out, "inline-%03d" % image["index"])])
            os.replace(os.path.join(out, "inline-%03d-000.pbm" % image["index"]), reference)
        else:
            stream = objects["obj:%d 0 R" % image["obj"]]["stream"]
            # pdfimages lists an explicit mask under the number of its image.
            if image["kind"] == "mask" and isinstance(stream["dict"].get("/Mask"), str):
                stream = objects["obj:" + stream["dict"]["/Mask"]]["stream"]
            names, parms = filters_of(stream["dict"])
            parms = [objects["obj:" + p]["value"] if isinstance(p, str) else p for p in parms]
            wanted = "/CCITTFaxDecode" if image["enc"] == "ccitt" else "/JBIG2Decode"
            # Only images whose last filter is the one under test and that
            # come out of the earlier ones undecoded are usable.
            if names[-1:] != [wanted] or len(names) != 1:
                continue
            for key, val in (parms[0] or {}).items():
                if key == "/JBIG2Globals":
                    ref = "obj:" + val
                    globals_path = os.path.join(out, "globals-%03d.bin" % image["index"])
                    with open(globals_path, "wb") as f:
                        f.write(base64.b64decode(objects[ref]["stream"]["data"]))
                else:
                    params[key.lstrip("/")] = value_text(val)
            data = base64.b64decode(stream["data"])
            with open(data_path, "wb") as f:
                f.write(data)
            # poppler leaves data that starts with the JBIG2 file header
            # undecoded; jbig2dec reads that form itself.
            if image["enc"] == "jbig2" and data.startswith(b"\x97JB2\r\n\x1a\n"):
                run(["jbig2dec", "-o", reference, data_path])
        fields = [image["kind"], image["enc"], str(image["width"]), str(image["height"]),
                  data_path, globals_path, reference]
        fields += ["%s=%s" % kv for kv in sorted(params.items())]
        print(" ".join(fields))


if __name__ == "__main__":
    main()
