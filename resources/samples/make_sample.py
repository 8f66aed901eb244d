#!/usr/bin/env python3
"""Writes sample.pdf, the small document `tools/dev run` opens.

Our own document: three pages with text in a standard font, filled and
stroked paths and a compressed content stream, with a correct
cross-reference table, so that it exercises the common paths of the viewer.
"""
import sys
import zlib

def page_content(number):
    lines = [
        "q 0.95 0.95 0.85 rg 36 36 540 720 re f Q",
        "q 0.2 0.3 0.7 RG 4 w 72 600 m 540 600 l S Q",
        "q 0.8 0.1 0.1 rg 306 400 m 356 300 l 256 300 l h f Q",
        "q 0.1 0.6 0.2 rg 100 200 150 80 re f Q",
        "BT /F1 28 Tf 72 650 Td (Folvane sample document) Tj ET",
        "BT /F1 14 Tf 72 560 Td 18 TL (This small file is bundled with the viewer.) Tj"
        " T* (It has three pages, shapes and text.) Tj"
        f" T* (This is page {number} of 3.) Tj ET",
    ]
    return "\n".join(lines).encode("ascii")

def build():
    objects = []
    def add(body):
        objects.append(body)
        return len(objects)

    catalog = add(None)
    pages = add(None)
    font = add(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>")
    kids = []
    for number in range(1, 4):
        data = zlib.compress(page_content(number), 9)
        content = add(b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(data) + data + b"\nendstream")
        kids.append(add(b"<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] "
                        b"/Resources << /Font << /F1 %d 0 R >> >> /Contents %d 0 R >>"
                        % (pages, font, content)))
    objects[catalog - 1] = b"<< /Type /Catalog /Pages %d 0 R >>" % pages
    objects[pages - 1] = (b"<< /Type /Pages /Count %d /Kids [" % len(kids)
                          + b" ".join(b"%d 0 R" % k for k in kids) + b"] >>")
    info = add(b"<< /Title (Folvane sample) /Author (The Folvane developers) >>")

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for index, body in enumerate(objects, start=1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % index + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += (b"trailer\n<< /Size %d /Root %d 0 R /Info %d 0 R >>\nstartxref\n%d\n%%%%EOF\n"
            % (len(objects) + 1, catalog, info, xref))
    return bytes(out)

if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else "sample.pdf"
    with open(target, "wb") as handle:
        handle.write(build())
