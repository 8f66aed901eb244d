#!/usr/bin/python3
"""Writes resources/MultipleMasterFaces.cpp: the sans and serif
four-master CFF faces of the multiple-master substitute and their master
metric tables.

Sources: NimbusSans-Regular and NimbusRoman-Regular of fonts-urw-base35
(Debian), read with python3-fonttools. Each face holds the 230 standard
glyphs (StandardEncoding, standard charset order) as Type 2 charstrings
whose every coordinate is a 4-master blend:

  master 0 light narrow, 1 heavy narrow, 2 light wide, 3 heavy wide.

The weight axis offsets each contour along its normals (so stems grow by
twice the offset), the width axis scales horizontally, so the point
structure is shared and the source face is the point (u0, v0) inside the
unit square. The metric table is measured from what was written: master
stems are the nominal stem through the same offsets and scales, master
advance widths are each master's advance.

Run: /usr/bin/python3 resources/fonts/make_mm_faces.py RESOURCES_DIR
"""
import io
import math
import os
import sys

from fontTools import cffLib
from fontTools.fontBuilder import FontBuilder
from fontTools.misc.psCharStrings import T2CharString
from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.ttLib import TTFont

URW_OTF = "/usr/share/fonts/opentype/urw-base35/"

# name, source, nominal stem of the source, offsets (light, heavy), scales
# (narrow, wide), master cap height, master x-height, default StemV
FACES = [
    ("Sans", "NimbusSans-Regular", 88, (-32.0, 58.0), (0.8, 1.25), 718, 532, 88),
    ("Serif", "NimbusRoman-Regular", 84, (-28.0, 60.0), (0.8, 1.25), 662, 450, 95),
]
MITER_LIMIT = 2.0


def standard_names():
    return list(cffLib.cffStandardStrings[:229]) + ["Euro"]


def contours_of(recording):
    """Pen operations to contours: lists of (kind, points) segments."""
    contours, current, start = [], None, None
    for op, args in recording:
        if op == "moveTo":
            current = [("move", [args[0]])]
            contours.append(current)
        elif op == "lineTo":
            current.append(("line", [args[0]]))
        elif op == "curveTo":
            current.append(("curve", list(args)))
        elif op in ("closePath", "endPath"):
            current = None
        else:
            raise SystemExit("unexpected pen operation " + op)
    return contours


def unit(dx, dy):
    n = math.hypot(dx, dy)
    return (dx / n, dy / n) if n > 1e-9 else None


def right_normal(t):
    return (t[1], -t[0])


def offset_normals(contour):
    """A normal (already scaled for the miter) for every point of a
    contour, pointing away from the ink for PostScript orientation."""
    pts = []  # (point, kind) in order; kind "on" or "off"
    for kind, args in contour:
        if kind == "curve":
            pts += [(args[0], "off"), (args[1], "off"), (args[2], "on")]
        else:
            pts.append((args[0], "on"))
    n = len(pts)
    # Drop a closing point equal to the start (the close is implicit).
    normals = []
    for i, (p, kind) in enumerate(pts):
        prev_p = pts[i - 1][0]
        next_p = pts[(i + 1) % n][0]
        if kind == "off":
            # A control point moves with the endpoint it belongs to.
            if pts[(i + 1) % n][1] == "on" and pts[i - 1][1] == "off":
                t = unit(next_p[0] - p[0], next_p[1] - p[1]) or unit(next_p[0] - prev_p[0], next_p[1] - prev_p[1])
            else:
                t = unit(p[0] - prev_p[0], p[1] - prev_p[1]) or unit(next_p[0] - prev_p[0], next_p[1] - prev_p[1])
            normals.append(right_normal(t) if t else (0.0, 0.0))
            continue
        # Incoming and outgoing tangents, skipping coincident neighbours.
        tin = None
        for k in range(1, n):
            q = pts[(i - k) % n][0]
            tin = unit(p[0] - q[0], p[1] - q[1])
            if tin:
                break
        tout = None
        for k in range(1, n):
            q = pts[(i + k) % n][0]
            tout = unit(q[0] - p[0], q[1] - p[1])
            if tout:
                break
        if not tin or not tout:
            normals.append((0.0, 0.0))
            continue
        n1, n2 = right_normal(tin), right_normal(tout)
        s = (n1[0] + n2[0], n1[1] + n2[1])
        dot = n1[0] * n2[0] + n1[1] * n2[1]
        k = 1.0 / max(1.0 + dot, 2.0 / (MITER_LIMIT * MITER_LIMIT)) if abs(1 + dot) > 1e-9 else 0.0
        normals.append((s[0] * k, s[1] * k))
    return pts, normals


def master_points(contours, offset, scale):
    out = []
    for contour in contours:
        pts, normals = offset_normals(contour)
        moved = [((p[0] + offset * nv[0]) * scale + offset * scale, p[1] + offset * nv[1])
                 for (p, _), nv in zip(pts, normals)]
        out.append([(round(x), round(y)) for x, y in moved])
    return out


def blended_program(contours, masters):
    """One charstring whose operators blend the four masters' points."""
    program = []
    last = [(0, 0)] * 4
    for ci, contour in enumerate(contours):
        index = 0
        for kind, args in contour:
            count = 3 if kind == "curve" else 1
            values = [[] for _ in range(4)]
            for m in range(4):
                x0, y0 = last[m]
                for j in range(count):
                    x, y = masters[m][ci][index + j]
                    values[m] += [x - x0, y - y0]
                    x0, y0 = x, y
                last[m] = (x0, y0)
            index += count
            base = values[0]
            deltas = []
            for i in range(len(base)):
                deltas += [values[m][i] - base[i] for m in (1, 2, 3)]
            if any(deltas):
                program += base + deltas + [len(base), "blend"]
            else:
                program += base
            program.append({"move": "rmoveto", "line": "rlineto", "curve": "rrcurveto"}[kind])
    program.append("endchar")
    return program


def build_face(name, source, stem, offsets, scales, cap, xheight, default_stem):
    font = TTFont(URW_OTF + source + ".otf")
    glyphset = font.getGlyphSet()
    hmtx = font["hmtx"].metrics
    names = standard_names()
    charstrings = {}
    widths = []
    bbox = [0, 0, 0, 0]
    for gname in names:
        contours = []
        advance = 0
        if gname in glyphset:
            pen = DecomposingRecordingPen(glyphset)
            glyphset[gname].draw(pen)
            contours = contours_of(pen.value)
            advance = hmtx[gname][0]
        masters = []
        row = []
        # master order: 0 light narrow, 1 heavy narrow, 2 light wide, 3 heavy wide
        for vi, scale in enumerate(scales):
            for ui, offset in enumerate(offsets):
                masters.append(master_points(contours, offset, scale))
                row.append(round((advance + 2 * offset) * scale) if advance else 0)
        widths.append(row)
        for pts in masters:
            for contour in pts:
                for x, y in contour:
                    bbox = [min(bbox[0], x), min(bbox[1], y), max(bbox[2], x), max(bbox[3], y)]
        charstrings[gname] = T2CharString(program=blended_program(contours, masters))
    stems = [round((stem + 2 * o) * s) for s in scales for o in offsets]
    fb = FontBuilder(1000, isTTF=False)
    fb.setupGlyphOrder(names)
    fb.setupCharacterMap({})
    ps_name = "VantrelMM" + name
    fb.setupCFF(ps_name, {"FullName": ps_name, "FontBBox": bbox}, charstrings, {})
    cff = fb.font["CFF "].cff
    top = cff.topDictIndex[0]
    top.Encoding = "StandardEncoding"
    top.FontBBox = bbox
    # The box is the union of the masters' boxes, computed above: fontTools
    # cannot run CFF1 blend charstrings to measure it.
    fb.font.recalcBBoxes = False
    buffer = io.BytesIO()
    cff.compile(buffer, fb.font)
    data = buffer.getvalue()
    metrics = [0] * (26 + 4 * len(names))
    metrics[8:12] = stems
    metrics[16] = cap
    metrics[17] = xheight
    metrics[20] = default_stem
    for g, row in enumerate(widths):
        metrics[26 + 4 * g: 30 + 4 * g] = row
    return data, metrics


def emit(lines, values, per_row):
    for i in range(0, len(values), per_row):
        lines.append("    " + " ".join("%d," % v for v in values[i:i + per_row]))


def main(out_dir):
    lines = [
        "// Generated by resources/fonts/make_mm_faces.py from fonts-urw-base35's",
        "// NimbusSans-Regular and NimbusRoman-Regular. Do not edit.",
        '#include "resources/MultipleMasterFaces.h"',
        "",
        "namespace resources {",
    ]
    for face in FACES:
        data, metrics = build_face(*face)
        name = face[0]
        lines += ["", "const uint8_t kMultipleMaster%sProgram[%d] = {" % (name, len(data))]
        emit(lines, list(data), 24)
        lines += ["};", "const uint32_t kMultipleMaster%sProgramSize = %d;" % (name, len(data))]
        lines += ["", "const int16_t kMultipleMaster%sMetrics[kMultipleMasterMetricsCount] = {" % name]
        emit(lines, metrics, 16)
        lines.append("};")
        print(name, len(data), "bytes")
    lines += ["", "}  // namespace resources"]
    with open(os.path.join(out_dir, "MultipleMasterFaces.cpp"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])
