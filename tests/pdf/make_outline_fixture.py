#!/usr/bin/env python3
"""Writes tests/fixtures/pdf/outline_names.pdf and what reading it must give
(outline_names.expected).

The document has six pages under two intermediate page-tree nodes, and:
- a three-level outline: "Chapter 1" closed with 100 children, the first of
  which has two children of its own; "Chapter 2" open with two children;
  "Chapter 3" whose action names a destination; titles with a tab, a
  surrogate pair, a language escape and one longer than 256 units;
- "Info" with every field and a "ModDate" with a time zone;
- a catalog "Dests" dictionary and a "Names" "Dests" tree with "Kids" and
  "Limits", whose leaves are not sorted and whose second child holds a key
  with the byte 0xE9 (above every ASCII byte in unsigned order);
- a structure tree whose "RoleMap" maps through chains, a loop and a
  remapped standard name.

The .expected file holds lines the test compares against:
  outline FLAG DEPTH PAGE TITLE   (as the probe prints, tab-separated)
  meta FIELD TEXT
  dest HEXNAME PAGE FIT | dest HEXNAME none
  role NAME STANDARD | norole NAME

Run: python3 tests/pdf/make_outline_fixture.py (from the repository root).
"""
import os

OUT = os.path.join(os.path.dirname(__file__), "..", "fixtures", "pdf")

objects = {}
expected = []


def obj(number, body):
    objects[number] = body if isinstance(body, bytes) else body.encode("latin-1")


def utf16(text):
    return "<FEFF" + text.encode("utf-16-be").hex().upper() + ">"


# Pages: 10 is the root, 11 and 12 hold three pages each (20..25).
PAGE = {i: 20 + i for i in range(6)}
obj(10, "<< /Type /Pages /Kids [11 0 R 12 0 R] /Count 6 >>")
obj(11, "<< /Type /Pages /Parent 10 0 R /Kids [20 0 R 21 0 R 22 0 R] /Count 3 >>")
obj(12, "<< /Type /Pages /Parent 10 0 R /Kids [23 0 R 24 0 R 25 0 R] /Count 3 >>")
for i in range(6):
    parent = 11 if i < 3 else 12
    obj(PAGE[i], "<< /Type /Page /Parent %d 0 R /MediaBox [0 0 200 200] >>" % parent)


def dest(page, fit="/Fit"):
    return "[%d 0 R %s]" % (PAGE[page], fit)


# Outline. Numbers: 100 outlines root, 101..103 chapters, 200.. sections of
# chapter 1, 400.. its first section's children, 500.. chapter 2's children.
SECTIONS = 100
long_title = "L" * 300
obj(100, "<< /Type /Outlines /First 101 0 R /Last 103 0 R /Count 4 >>")
obj(101, "<< /Title (Chapter\t1) /Parent 100 0 R /Next 102 0 R /First 200 0 R "
         "/Last %d 0 R /Count -%d /Dest %s >>" % (200 + SECTIONS - 1, SECTIONS, dest(0)))
obj(102, "<< /Title %s /Parent 100 0 R /Prev 101 0 R /Next 103 0 R /First 500 0 R "
         "/Last 501 0 R /Count 2 /Dest %s >>" % (utf16("Chapter 2 \U0001D11E"), dest(3, "/XYZ 0 200 0")))
obj(103, "<< /Title (%s) /Parent 100 0 R /Prev 102 0 R "
         "/A << /S /GoTo /D (alpha) >> >>" % long_title)
outline = []
outline.append(("-", 0, 0, "Chapter 1"))
for i in range(SECTIONS):
    number = 200 + i
    links = " /Parent 101 0 R"
    if i > 0:
        links += " /Prev %d 0 R" % (number - 1)
    if i + 1 < SECTIONS:
        links += " /Next %d 0 R" % (number + 1)
    page = i % 6
    if i == 0:
        links += " /First 400 0 R /Last 401 0 R /Count 2"
    obj(number, "<< /Title (Section 1.%d)%s /Dest %s >>" % (i + 1, links, dest(page)))
    outline.append(("+" if i == 0 else "|", 1, page, "Section 1.%d" % (i + 1)))
    if i == 0:
        obj(400, "<< /Title (Para a) /Parent 200 0 R /Next 401 0 R /Dest [5 /Fit] >>")
        obj(401, "<< /Title (Para b) /Parent 200 0 R /Prev 400 0 R /Dest [%d 0 R /Fit] >>"
            % PAGE[4])
        outline.append(("|", 2, 5, "Para a"))
        outline.append(("|", 2, 4, "Para b"))
outline.append(("+", 0, 3, "Chapter 2 \U0001D11E"))
obj(500, "<< /Title <FEFF001B656E001B0045006E0067006C006900730068> /Parent 102 0 R "
         "/Next 501 0 R /Dest /named >>")
obj(501, "<< /Title (Gr\\374n) /Parent 102 0 R /Prev 500 0 R /Dest (\351t\351) >>")
outline.append(("|", 1, 1, "English"))
outline.append(("|", 1, 5, "Gr\u00fcn"))
# A title of 300 units is cut to 256.
outline.append(("|", 0, 2, "L" * 256))
for flag, depth, page, title in outline:
    expected.append("outline\t%s\t%d\t%d\t%s" % (flag, depth, page, title))

# Named destinations: "named" lives in the catalog's "Dests"; the tree's
# first child is unsorted, its second holds a key that sorts after "zeta"
# only when bytes compare unsigned.
obj(30, "<< /named [%d 0 R /FitH 100] >>" % PAGE[1])
obj(31, "<< /Kids [32 0 R 33 0 R] >>")
obj(32, "<< /Limits [(alpha) (mid)] /Names [(mid) 34 0 R (alpha) [%d 0 R /Fit]] >>" % PAGE[2])
obj(33, "<< /Limits [(zeta) (\351t\351)] /Names [(zeta) << /D [%d 0 R /FitB] >> "
        "(\351t\351) [%d 0 R /XYZ null null null]] >>" % (PAGE[3], PAGE[5]))
obj(34, "[%d 0 R /FitV 0]" % PAGE[4])
# Names are written in hex: they are bytes, not text.
for name, result in [(b"named", "1\tFitH"), (b"alpha", "2\tFit"), (b"mid", "4\tFitV"),
                     (b"zeta", "3\tFitB"), (b"\xe9t\xe9", "5\tXYZ"), (b"beta", "none"),
                     (b"zz", "none")]:
    expected.append("dest\t%s\t%s" % (name.hex(), result))

# Document information.
obj(40, "<< /Title %s /Subject (Line\tone\rtwo) /Author (Price \240) "
        "/Keywords (%s) /ModDate (D:20050315123045+05'30') >>"
        % (utf16("\u00c9t\u00e9 \U0001D11E"), "k" * 300))
expected += ["meta\tTitle\t\u00c9t\u00e9 \U0001D11E", "meta\tSubject\tLine one two",
             "meta\tAuthor\tPrice \u20ac", "meta\tKeywords\t" + "k" * 255,
             "meta\tModDate\t2005/03/15 12:30:45 +05:30"]

# Structure tree and role map.
obj(50, "<< /Type /StructTreeRoot /RoleMap << /Heading /H1 /A /B /B /P /X /Y /Y /X "
        "/P /Span >> >>")
expected += ["role\tHeading\tH1", "role\tA\tP", "role\tB\tP", "role\tP\tSpan",
             "role\tDocument\tDocument", "norole\tX", "norole\tY", "norole\tQ"]

obj(1, "<< /Type /Catalog /Pages 10 0 R /Outlines 100 0 R /Dests 30 0 R "
       "/Names << /Dests 31 0 R >> /StructTreeRoot 50 0 R >>")

# The file: objects in number order and a classic table.
data = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
offsets = {}
for number in sorted(objects):
    offsets[number] = len(data)
    data += b"%d 0 obj\n" % number + objects[number] + b"\nendobj\n"
size = max(objects) + 1
xref = len(data)
data += b"xref\n0 %d\n0000000000 65535 f \n" % size
for number in range(1, size):
    if number in offsets:
        data += b"%010d 00000 n \n" % offsets[number]
    else:
        data += b"0000000000 00001 f \n"
data += b"trailer\n<< /Size %d /Root 1 0 R /Info 40 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (size, xref)

with open(os.path.join(OUT, "outline_names.pdf"), "wb") as f:
    f.write(bytes(data))
with open(os.path.join(OUT, "outline_names.expected"), "w", encoding="utf-8") as f:
    f.write("\n".join(line for line in expected) + "\n")
