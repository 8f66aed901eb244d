#!/usr/bin/env python3
"""Writes the cross-reference test files of tests/fixtures/pdf/ and what each
object must resolve to.

xref_chain.pdf: 100 junk bytes before the header; an original classic table
(one subsection overlapping another, a "Length" held in another object, a
page whose "Contents" array holds three streams); a classic incremental
update with "Prev" that changes, adds and frees objects; and a second update
as a cross-reference stream with W [1 2 1] and "Index", whose object stream
holds three objects and whose entries also name an object the stream does
not list, an object stream stored inside an object stream, and an object
stream that would hold itself.

xref_chain_xor.pdf: the same objects "encrypted" by XOR with 0x5A (strings
and stream data), with an "Encrypt" dictionary, and a cross-reference stream
whose dictionary holds strings: the test's decryptor undoes the XOR, and
must never be applied to the cross-reference stream, its dictionary or the
"Encrypt" dictionary.

The .expected files list "number generation value" lines, the value written
as the probe prints it.

Run: python3 tests/pdf/make_xref_fixture.py (from the repository root).
"""
import os
import zlib

KEY = 0x5A
OUT = os.path.join(os.path.dirname(__file__), "..", "fixtures", "pdf")


class Name(str):
    pass


class Ref:
    def __init__(self, number, generation=0):
        self.number, self.generation = number, generation


class Raw(bytes):
    """A literal string, written as (...)."""


def xor(data):
    return bytes(b ^ KEY for b in data)


def render(value, encrypt):
    """PDF syntax of a value; strings encrypted when asked."""
    if value is None:
        return b"null"
    if value is True:
        return b"true"
    if value is False:
        return b"false"
    if isinstance(value, Name):
        return b"/" + value.encode()
    if isinstance(value, Ref):
        return b"%d %d R" % (value.number, value.generation)
    if isinstance(value, Raw):
        data = xor(value) if encrypt else bytes(value)
        return b"<" + data.hex().encode() + b">"
    if isinstance(value, int):
        return str(value).encode()
    if isinstance(value, float):
        return repr(value).encode()
    if isinstance(value, list):
        return b"[" + b" ".join(render(v, encrypt) for v in value) + b"]"
    if isinstance(value, dict):
        return b"<<" + b"".join(b"/" + k.encode() + b" " + render(v, encrypt) + b" "
                                for k, v in value.items()) + b">>"
    raise TypeError(value)


def printed(value):
    """The value as the probe prints it."""
    if value is None:
        return "null"
    if value is True:
        return "true"
    if value is False:
        return "false"
    if isinstance(value, Name):
        return "/" + value
    if isinstance(value, Ref):
        return "%d %d R" % (value.number, value.generation)
    if isinstance(value, Raw):
        text = value.decode("latin-1")
        return "(" + text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") + ")"
    if isinstance(value, (int, float)):
        return ("%g" % value)
    if isinstance(value, list):
        return "[" + " ".join(printed(v) for v in value) + "]"
    if isinstance(value, dict):
        return "<< " + "".join("/%s %s " % (k, printed(v)) for k, v in value.items()) + ">>"
    raise TypeError(value)


def build(encrypted):
    out = bytearray(b"junk!" * 20)  # 100 bytes before the header
    header = len(out)
    out += b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n"
    expected = {}  # number -> (generation, printed value)
    offsets = {}

    def put(number, value, generation=0, stream=None, record=True, plain=False):
        offsets[number] = len(out) - header
        enc = encrypted and not plain
        out.extend(b"%d %d obj\n" % (number, generation) + render(value, enc))
        if stream is not None:
            out.extend(b"\nstream\n" + (xor(stream) if enc else stream) + b"\nendstream")
        out.extend(b"\nendobj\n")
        if record:
            expected[number] = (generation, printed(value))

    contents = [b"q 1 0 0 1 0 0 cm", b"BT /F1 12 Tf (Hi) Tj ET", b"Q"]
    hex_data = contents[1].hex().encode() + b">"
    flate_data = zlib.compress(contents[2])
    put(1, {"Type": Name("Catalog"), "Pages": Ref(2)})
    put(2, {"Type": Name("Pages"), "Kids": [Ref(4)], "Count": 1}, record=False)
    put(3, Raw(b"freed later"), record=False)
    put(4, {"Type": Name("Page"), "Parent": Ref(2), "MediaBox": [10, 20, 0, 0],
            "Contents": [Ref(5), Ref(6), Ref(7)]})
    put(5, {"Length": Ref(8)}, stream=contents[0])
    put(6, {"Length": len(hex_data), "Filter": Name("ASCIIHexDecode")}, stream=hex_data)
    put(7, {"Length": len(flate_data), "Filter": [Name("FlateDecode")]}, stream=flate_data)
    put(8, len(contents[0]))
    put(9, [1, -3.0, Raw(b"str (with) parens"), Name("Name"), True, None])
    for number in (5, 6, 7):
        generation, value = expected[number]
        expected[number] = (generation, value + " stream")

    # Original table; the second subsection lists object 3 again with a
    # wrong offset, which the first subsection overrides.
    first = len(out) - header
    out += b"xref\n0 10\n0000000000 65535 f \n"
    for number in range(1, 10):
        out += b"%010d 00000 n \n" % offsets[number]
    out += b"3 1\n0000099999 00000 n \n"
    out += b"trailer\n<< /Size 10 /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % first

    # Update one: object 2 changes, 3 is freed, 10 and 12 are new, 11 free.
    put(2, {"Type": Name("Pages"), "Kids": [Ref(4)], "Count": 1, "Updated": True})
    put(10, Raw(b"added in update one"))
    put(12, Raw(b"generation zero"))
    second = len(out) - header
    out += b"xref\n0 1\n0000000000 65535 f \n2 2\n"
    out += b"%010d 00000 n \n0000000000 00001 f \n" % offsets[2]
    out += b"10 3\n%010d 00000 n \n0000000000 00001 f \n%010d 00000 n \n" % (
        offsets[10], offsets[12])
    out += b"trailer\n<< /Size 13 /Root 1 0 R /Prev %d >>\nstartxref\n%d\n%%%%EOF\n" % (
        first, second)
    expected[3] = (0, "null")
    expected[11] = (0, "null")

    # Update two: object stream 20 with objects 13, 14, 15.
    members = [{"InStream": 1, "S": Raw(b"compressed")}, [1, 2, 3], Raw(b"third")]
    bodies = [render(m, False) for m in members]
    pairs, position = [], 0
    for number, body in zip((13, 14, 15), bodies):
        pairs.append(b"%d %d" % (number, position))
        position += len(body) + 1
    head = b" ".join(pairs) + b"\n"
    data = head + b"\n".join(bodies) + b"\n"
    put(20, {"Type": Name("ObjStm"), "N": 3, "First": len(head), "Length": len(data)},
        stream=data)
    for number, member in zip((13, 14, 15), members):
        expected[number] = (0, printed(member))
    expected[20] = (0, expected[20][1] + " stream")

    if encrypted:
        put(30, {"Filter": Name("Standard"), "O": Raw(b"owner-bytes"),
                 "U": Raw(b"user-bytes")}, plain=True)
        expected[30] = (0, printed({"Filter": Name("Standard"), "O": Raw(b"owner-bytes"),
                                    "U": Raw(b"user-bytes")}))

    # Entries: (type, field 2, field 3) for 0, 13..19 and 20..21.
    xref_offset = len(out) - header
    entries = [(0, 0, 255)]
    entries += [(2, 20, 0), (2, 20, 1), (2, 20, 2),  # 13-15 in object stream 20
                (2, 20, 3),    # 16: the stream's pairs do not list it
                (2, 18, 0),    # 17: its object stream 18 is itself compressed
                (2, 20, 4),    # 18
                (2, 19, 0)]    # 19: an object stream inside itself
    entries += [(1, offsets[20], 0), (1, xref_offset, 0)]
    for number in (16, 17, 18, 19):
        expected[number] = (0, "null")
    index = [0, 1, 13, 7, 20, 2]
    if encrypted:
        entries.append((1, offsets[30], 0))
        index += [30, 1]
    stream = b"".join(bytes([t]) + f2.to_bytes(2, "big") + bytes([f3]) for t, f2, f3 in entries)
    trailer = {"Type": Name("XRef"), "W": [1, 2, 1], "Index": index, "Size": 31 if encrypted else 22,
               "Root": Ref(1), "Prev": second, "Length": len(stream)}
    if encrypted:
        trailer["Encrypt"] = Ref(30)
        trailer["ID"] = [Raw(b"first id"), Raw(b"second id")]
    put(21, trailer, stream=stream, plain=True)
    expected[21] = (0, printed(trailer) + " stream")
    out += b"startxref\n%d\n%%%%EOF\n" % xref_offset
    assert len(out) < 65536, "offsets must fit the two-byte field"
    return bytes(out), expected


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, encrypted in (("xref_chain", False), ("xref_chain_xor", True)):
        data, expected = build(encrypted)
        with open(os.path.join(OUT, name + ".pdf"), "wb") as f:
            f.write(data)
        with open(os.path.join(OUT, name + ".expected"), "w") as f:
            for number in sorted(expected):
                generation, value = expected[number]
                f.write("%d %d %s\n" % (number, generation, value))


if __name__ == "__main__":
    main()
