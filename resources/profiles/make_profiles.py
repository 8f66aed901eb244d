#!/usr/bin/env python3
"""Writes the two built-in ICC profiles (version 2.1.0) as a C++ byte array.

  make_profiles.py OUT.cpp          the source file the build compiles
  make_profiles.py --icc DIR        the two profiles as .icc files (for a look)

Display RGB (3,144 bytes): the sRGB colour space of IEC 61966-2.1. The
1,024-entry tone curve is that standard's decoding formula; the colorants
are the standard's primaries and D65 white adapted to the D50 connection
space with the Bradford transform, stored as the usual published
s15Fixed16 values (the script checks them against its own derivation).

Printer CMYK (5,608 bytes): our own simple subtractive ink model, see
README.md beside this script.
"""
import math
import struct
import sys

D50 = (0.9642, 1.0, 0.8249)
BRADFORD = ((0.8951, 0.2664, -0.1614), (-0.7502, 1.7135, 0.0367), (0.0389, -0.0685, 1.0296))


def s15(v):
    return struct.pack(">i", int(round(v * 65536)))


def xyz_tag(x, y, z, raw=False):
    if raw:
        return b"XYZ " + bytes(4) + struct.pack(">3i", x, y, z)
    return b"XYZ " + bytes(4) + s15(x) + s15(y) + s15(z)


def desc_tag(text):
    ascii_bytes = text.encode("ascii") + b"\0"
    return (b"desc" + bytes(4) + struct.pack(">I", len(ascii_bytes)) + ascii_bytes
            + struct.pack(">II", 0, 0) + struct.pack(">HB", 0, 0) + bytes(67))


def text_tag(text, length=None):
    body = text.encode("ascii") + b"\0"
    if length is not None:
        assert len(body) + 8 <= length, "text does not fit"
        body += bytes(length - 8 - len(body))
    return b"text" + bytes(4) + body


def pad4(data):
    return data + bytes(-len(data) % 4)


def assemble(header_fields, tags, size=None, filler=None):
    """tags: list of (signature, body or alias signature). A filler tag (its
    signature, a function of the free length) makes the total exact."""
    bodies = {}
    order = []
    for sig, body in tags:
        order.append(sig)
        if isinstance(body, bytes):
            bodies[sig] = body
    table_len = 128 + 4 + 12 * len(tags)
    if filler is not None:
        used = table_len + sum(len(pad4(b)) for s, b in bodies.items() if s != filler[0])
        bodies[filler[0]] = filler[1](size - used)
    offsets = {}
    data = b""
    entries = b""
    for sig, body in tags:
        key = body if isinstance(body, str) else sig
        if key not in offsets:
            offsets[key] = table_len + len(data)
            data += pad4(bodies[key])
        entries += sig.encode("ascii") + struct.pack(">II", offsets[key], len(bodies[key]))
    total = table_len + len(data)
    if size is not None:
        assert total == size, (total, size)
    header = struct.pack(">I", total) + header_fields
    assert len(header) == 128
    return header + struct.pack(">I", len(tags)) + entries + data


def header(cmm, device_class, space, pcs, date, manufacturer, creator):
    h = cmm + struct.pack(">I", 0x02100000) + device_class + space + pcs
    h += struct.pack(">6H", *date) + b"acsp" + b"\0\0\0\0" + struct.pack(">I", 0)
    h += manufacturer + bytes(4) + bytes(8) + struct.pack(">I", 0)
    h += struct.pack(">3i", 63190, 65536, 54061) + creator + bytes(44)
    assert len(h) == 124, len(h)
    return h


# ---------------------------------------------------------------- display RGB

def mat_mul(a, b):
    return [[sum(a[r][k] * b[k][c] for k in range(3)) for c in range(3)] for r in range(3)]


def mat_vec(a, v):
    return [sum(a[r][k] * v[k] for k in range(3)) for r in range(3)]


def mat_inv(m):
    (a, b, c), (d, e, f), (g, h, i) = m
    det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g)
    return [[(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det],
            [(f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det],
            [(d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det]]


def srgb_colorants():
    """Columns of the D50-adapted RGB-to-XYZ matrix of IEC 61966-2.1."""
    primaries = ((0.64, 0.33), (0.30, 0.60), (0.15, 0.06))
    white = (0.3127 / 0.3290, 1.0, (1 - 0.3127 - 0.3290) / 0.3290)
    p = [[x / y for x, y in primaries], [1.0] * 3, [(1 - x - y) / y for x, y in primaries]]
    s = mat_vec(mat_inv(p), white)
    m = [[p[r][c] * s[c] for c in range(3)] for r in range(3)]
    cs, cd = mat_vec(BRADFORD, white), mat_vec(BRADFORD, D50)
    scale = [[cd[r] / cs[r] if r == c else 0.0 for c in range(3)] for r in range(3)]
    adapted = mat_mul(mat_inv(BRADFORD), mat_mul(scale, BRADFORD))
    ma = mat_mul(adapted, m)
    return white, [[ma[r][c] for r in range(3)] for c in range(3)]


# The s15Fixed16 colorants as sRGB profiles have published them since the
# standard appeared; within 2e-4 of the derivation above.
SRGB_COLORANTS = ((28578, 14581, 912), (25241, 46981, 6362), (9376, 3972, 46799))


def srgb_curve(n=1024):
    out = []
    for i in range(n):
        v = i / (n - 1)
        lin = v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
        out.append(int(round(lin * 65535)))
    return b"curv" + bytes(4) + struct.pack(">I", n) + struct.pack(">%dH" % n, *out)


def display_profile():
    white, derived = srgb_colorants()
    for got, want in zip(derived, SRGB_COLORANTS):
        for g, w in zip(got, want):
            assert abs(g - w / 65536) < 2e-4, (got, want)
    curve = srgb_curve()
    meas = b"meas" + bytes(4) + struct.pack(">I", 1) + bytes(12) + struct.pack(">III", 2, 0x10000, 2)
    view = (b"view" + bytes(4) + xyz_tag(19.6445, 20.3718, 16.8089)[8:]
            + xyz_tag(3.92889, 4.07439, 3.36179)[8:] + struct.pack(">I", 1))
    tags = [
        ("cprt", None),
        ("desc", desc_tag("sRGB IEC61966-2.1")),
        ("wtpt", xyz_tag(white[0], white[1], white[2])),
        ("bkpt", xyz_tag(0, 0, 0)),
        ("rXYZ", xyz_tag(*SRGB_COLORANTS[0], raw=True)),
        ("gXYZ", xyz_tag(*SRGB_COLORANTS[1], raw=True)),
        ("bXYZ", xyz_tag(*SRGB_COLORANTS[2], raw=True)),
        ("dmnd", desc_tag("IEC 61966-2.1 default RGB")),
        ("dmdd", desc_tag("sRGB display, IEC 61966-2.1")),
        ("vued", desc_tag("Viewing conditions of IEC 61966-2.1")),
        ("view", view),
        ("lumi", xyz_tag(76.0365, 80.0, 87.1246)),
        ("meas", meas),
        ("tech", b"sig " + bytes(4) + b"CRT "),
        ("rTRC", curve),
        ("gTRC", "rTRC"),
        ("bTRC", "rTRC"),
    ]
    tags[0] = ("cprt", b"")
    h = header(bytes(4), b"mntr", b"RGB ", b"XYZ ", (2026, 1, 1, 0, 0, 0), bytes(4), bytes(4))
    note = "No copyright. Made by the project from IEC 61966-2.1."
    return assemble(h, tags, 3144, ("cprt", lambda free: text_tag(note, free)))


# --------------------------------------------------------------- printer CMYK

# Inks and paper in CIE Lab (D50). Overprints multiply the inks'
# reflectance relative to the paper, channel by channel in XYZ.
PAPER_WHITE = (46426, 48231, 37424)  # XYZ of the paper in 1/65536 units
INKS = {  # C, M, Y, K solids printed on this paper
    "C": (50.0, -32.0, -45.0),
    "M": (45.0, 66.0, -4.0),
    "Y": (80.0, -4.0, 80.0),
    "K": (16.0, 0.0, 0.0),
}


def lab_to_xyz(lab):
    l, a, b = lab
    fy = (l + 16) / 116
    fx, fz = fy + a / 500, fy - b / 200

    def finv(t):
        return t ** 3 if t > 6 / 29 else 3 * (6 / 29) ** 2 * (t - 4 / 29)
    return [D50[0] * finv(fx), D50[1] * finv(fy), D50[2] * finv(fz)]


def xyz_to_lab(xyz):
    def f(t):
        return t ** (1 / 3) if t > (6 / 29) ** 3 else t / (3 * (6 / 29) ** 2) + 4 / 29
    fx, fy, fz = (f(xyz[i] / D50[i]) for i in range(3))
    return (116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz))


def paper_xyz():
    return [v / 65536 for v in PAPER_WHITE]


def corner_lab(c, m, y, k):
    """Lab of the solid overprint of the inks whose flags are set, relative
    to the paper: the lookup tables of a profile carry colorimetry scaled
    so that the media white (the paper) is the connection space's white;
    the "wtpt" tag holds the paper itself."""
    paper = paper_xyz()
    xyz = list(paper)
    for flag, name in zip((c, m, y, k), "CMYK"):
        if flag:
            ink = lab_to_xyz(INKS[name])
            xyz = [xyz[i] * ink[i] / paper[i] for i in range(3)]
    return xyz_to_lab([xyz[i] * D50[i] / paper[i] for i in range(3)])


def encode_lab8(lab):
    l, a, b = lab
    clamp = lambda v: max(0, min(255, int(round(v))))
    return (clamp(l * 255 / 100), clamp(a + 128), clamp(b + 128))


def ramp8():
    return bytes(range(256))


def mft1(inputs, outputs, grid, clut):
    body = b"mft1" + bytes(4) + struct.pack(">BBBB", inputs, outputs, grid, 0)
    for r in range(3):
        for c in range(3):
            body += s15(1.0 if r == c else 0.0)
    body += ramp8() * inputs + bytes(clut) + ramp8() * outputs
    return body


def a2b_table():
    clut = []
    for c in (0, 1):
        for m in (0, 1):
            for y in (0, 1):
                for k in (0, 1):
                    clut.extend(encode_lab8(corner_lab(c, m, y, k)))
    return clut


def forward(corners, cmyk):
    """Multilinear interpolation of the 16 corner Lab values."""
    out = [0.0, 0.0, 0.0]
    idx = 0
    for c in (0, 1):
        for m in (0, 1):
            for y in (0, 1):
                for k in (0, 1):
                    w = 1.0
                    for v, bit in zip(cmyk, (c, m, y, k)):
                        w *= v if bit else 1 - v
                    if w:
                        for i in range(3):
                            out[i] += w * corners[idx][i]
                    idx += 1
    return out


def gcr_black(lab, paper_l):
    """Grey-component replacement: black starts where the colour is dark
    and nearly neutral."""
    l, a, b = lab
    darkness = max(0.0, min(1.0, (paper_l - l) / paper_l))
    chroma = min(1.0, math.hypot(a, b) / 60)
    return max(0.0, (darkness - 0.35) / 0.65) * (1 - chroma)


def search_cmy(corners, target, k):
    def err(cmy):
        lab = forward(corners, (cmy[0], cmy[1], cmy[2], k))
        return sum((lab[i] - target[i]) ** 2 for i in range(3))
    best = min(((c / 4, m / 4, y / 4) for c in range(5) for m in range(5) for y in range(5)), key=err)
    best, best_err = list(best), err(best)
    step = 0.125
    while step > 1 / 1024:
        improved = False
        for i in range(3):
            for d in (-step, step):
                trial = list(best)
                trial[i] = min(1.0, max(0.0, trial[i] + d))
                e = err(trial)
                if e < best_err:
                    best, best_err, improved = trial, e, True
        if not improved:
            step /= 2
    return best


def b2a_table():
    corners = [corner_lab(c, m, y, k) for c in (0, 1) for m in (0, 1) for y in (0, 1) for k in (0, 1)]
    paper_l = 100.0  # the paper, relative to itself
    clut = []
    grid = 7
    for li in range(grid):
        for ai in range(grid):
            for bi in range(grid):
                lab = (li * 100 / (grid - 1), ai * 255 / (grid - 1) - 128, bi * 255 / (grid - 1) - 128)
                k = gcr_black(lab, paper_l)
                cmy = search_cmy(corners, lab, k)
                clut.extend(int(round(v * 255)) for v in (*cmy, k))
    return clut


def gamut_tag():
    body = b"mft2" + bytes(4) + struct.pack(">BBBB", 3, 1, 2, 0)
    for r in range(3):
        for c in range(3):
            body += s15(1.0 if r == c else 0.0)
    body += struct.pack(">HH", 2, 2)
    body += struct.pack(">6H", 0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF)
    body += bytes(8 * 2)
    body += struct.pack(">2H", 0, 0xFFFF)
    return body


def cmyk_profile():
    a2b = mft1(4, 3, 2, a2b_table())
    b2a = mft1(3, 4, 7, b2a_table())
    tags = [
        ("desc", desc_tag("Pelorvantix CMYK")),
        ("cprt", b""),
        ("wtpt", xyz_tag(*PAPER_WHITE, raw=True)),
        ("A2B0", a2b), ("A2B1", "A2B0"), ("A2B2", "A2B0"),
        ("B2A0", b2a), ("B2A1", "B2A0"), ("B2A2", "B2A0"),
        ("gamt", gamut_tag()),
    ]
    h = header(b"QRVM", b"prtr", b"CMYK", b"Lab ", (2005, 2, 12, 0, 0, 0), b"QRVM", b"QRVM")
    note = "No copyright: our own ink model."
    return assemble(h, tags, 5608, ("cprt", lambda free: text_tag(note, free)))


def write_cpp(path, profiles):
    lines = ["// Generated by resources/profiles/make_profiles.py; do not edit.",
             '#include "resources/EmbeddedProfiles.h"', "", "namespace resources {", ""]
    for name, data in profiles:
        lines.append("const uint8_t %s[%d] = {" % (name, len(data)))
        for i in range(0, len(data), 16):
            lines.append("    " + ", ".join("0x%02x" % b for b in data[i:i + 16]) + ",")
        lines.append("};")
        lines.append("")
    lines.append("}  // namespace resources")
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


def main(argv):
    profiles = [("kDisplayRgbProfile", display_profile()), ("kPrinterCmykProfile", cmyk_profile())]
    if len(argv) == 3 and argv[1] == "--icc":
        for (name, data), file in zip(profiles, ("display-rgb.icc", "printer-cmyk.icc")):
            with open("%s/%s" % (argv[2], file), "wb") as out:
                out.write(data)
        return 0
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    write_cpp(argv[1], profiles)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
