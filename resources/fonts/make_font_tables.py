#!/usr/bin/python3
"""Writes resources/StandardFontTables.cpp and resources/SymbolFontProgram.cpp:
the 230 standard glyph names, the four named simple-font encodings, the
widths of the standard 14 fonts and the built-in Symbol program.

Sources (all Debian packages):
- python3-fonttools: the CFF standard strings (fontTools.cffLib) and
  StandardEncoding (fontTools.encodings.StandardEncoding).
- libgs10-common: the PostScript files that spell out the PDF format's
  MacRomanEncoding, WinAnsiEncoding and MacExpertEncoding tables
  (gs_mro_e.ps, gs_wan_e.ps, gs_mex_e.ps, with gs_il1_e.ps for ISOLatin1).
- fonts-urw-base35: the AFM files of the metric-compatible URW faces
  (NimbusMonoPS, NimbusSans, NimbusRoman) for the widths, and
  StandardSymbolsPS.otf, whose "CFF " table is the Symbol program and
  whose horizontal metrics give the Symbol widths.

Run: /usr/bin/python3 resources/fonts/make_font_tables.py RESOURCES_DIR
"""
import glob
import io
import os
import re
import sys

from fontTools import cffLib
from fontTools.encodings.StandardEncoding import StandardEncoding
from fontTools.ttLib import TTFont

URW_AFM = "/usr/share/fonts/type1/urw-base35/"
URW_OTF = "/usr/share/fonts/opentype/urw-base35/"


def gs_dir():
    found = sorted(glob.glob("/usr/share/ghostscript/*/Resource/Init/gs_wan_e.ps"))
    if not found:
        sys.exit("libgs10-common is not installed")
    return os.path.dirname(found[-1])


def ps_tokens(path):
    text = open(path, encoding="latin-1").read()
    text = re.sub(r"%[^\n]*", "", text)
    return text.split()


def read_encoding(path, name, known):
    """Evaluates the subset of PostScript these files use to build one
    encoding: literal names and `Enc start count getinterval aload pop`."""
    tokens = ps_tokens(path)
    start = tokens.index("/" + name) + 1
    out = []
    i = start
    while tokens[i] != "256":
        t = tokens[i]
        if t.startswith("/"):
            out.append(t[1:])
            i += 1
        elif t in known and tokens[i + 3] == "getinterval":
            a, n = int(tokens[i + 1]), int(tokens[i + 2])
            out.extend(known[t][a:a + n])
            i += 6  # Enc a n getinterval aload pop
        else:
            raise SystemExit("unexpected token %r in %s" % (t, path))
    assert len(out) == 256, (name, len(out))
    return out


def afm_widths(path):
    widths = {}
    for line in open(path, encoding="latin-1"):
        if line.startswith("C "):
            fields = dict(
                (p.strip().split(" ", 1) + [""])[:2] for p in line.split(";") if p.strip())
            widths[fields["N"].strip()] = int(float(fields["WX"]))
    return widths


def afm_codes(path):
    codes = {}
    for line in open(path, encoding="latin-1"):
        if line.startswith("C "):
            fields = dict(
                (p.strip().split(" ", 1) + [""])[:2] for p in line.split(";") if p.strip())
            code = int(fields["C"])
            if 0 <= code < 256:
                codes[code] = fields["N"].strip()
    return codes


def c_names(values):
    return ["nullptr" if v in (None, ".notdef") else '"%s"' % v for v in values]


def emit_rows(lines, items, per_row):
    for i in range(0, len(items), per_row):
        lines.append("    " + " ".join(s + "," for s in items[i:i + per_row]))


def main(out_dir):
    standard_names = list(cffLib.cffStandardStrings[:229]) + ["Euro"]
    assert standard_names[0] == ".notdef" and standard_names[228] == "zcaron"
    gs = gs_dir()
    iso = read_encoding(os.path.join(gs, "gs_il1_e.ps"), "ISOLatin1Encoding",
                        {"StandardEncoding": list(StandardEncoding)})
    known = {"StandardEncoding": list(StandardEncoding), "ISOLatin1Encoding": iso}
    mac_roman = read_encoding(os.path.join(gs, "gs_mro_e.ps"), "MacRomanEncoding", known)
    win_ansi = read_encoding(os.path.join(gs, "gs_wan_e.ps"), "WinAnsiEncoding", known)
    mac_expert = read_encoding(os.path.join(gs, "gs_mex_e.ps"), "MacExpertEncoding", known)
    assert win_ansi[160] == "space" and win_ansi[173] == "hyphen"
    assert all(win_ansi[c] == "bullet" for c in (127, 129, 141, 143, 144, 157))

    faces = [
        ("kCourierWidths", "NimbusMonoPS-Regular"),
        ("kHelveticaWidths", "NimbusSans-Regular"),
        ("kHelveticaBoldWidths", "NimbusSans-Bold"),
        ("kTimesRomanWidths", "NimbusRoman-Regular"),
        ("kTimesBoldWidths", "NimbusRoman-Bold"),
        ("kTimesItalicWidths", "NimbusRoman-Italic"),
        ("kTimesBoldItalicWidths", "NimbusRoman-BoldItalic"),
    ]
    symbol = TTFont(URW_OTF + "StandardSymbolsPS.otf")
    # The OpenType wrapper maps codes through its cmap; the bare program
    # carries the Symbol encoding itself (codes and names from the AFM).
    symbol_codes = afm_codes(URW_AFM + "StandardSymbolsPS.afm")
    cff = symbol["CFF "].cff
    cff.topDictIndex[0].Encoding = [symbol_codes.get(c, ".notdef") for c in range(256)]
    buffer = io.BytesIO()
    cff.compile(buffer, symbol)
    symbol_cff = buffer.getvalue()
    symbol_order = symbol.getGlyphOrder()
    hmtx = symbol["hmtx"].metrics
    upem = symbol["head"].unitsPerEm
    symbol_widths = [round(hmtx[g][0] * 1000 / upem) for g in symbol_order]

    lines = [
        "// Generated by resources/fonts/make_font_tables.py from python3-fonttools,",
        "// libgs10-common's encoding files and fonts-urw-base35's AFM files. Do",
        "// not edit.",
        '#include "resources/StandardFontTables.h"',
        "",
        "namespace resources {",
        "",
        "const char* const kStandardGlyphNames[kStandardGlyphCount] = {",
    ]
    emit_rows(lines, ['"%s"' % n for n in standard_names], 6)
    lines.append("};")
    for name, table in (("kStandardEncodingNames", StandardEncoding),
                        ("kMacRomanEncodingNames", mac_roman),
                        ("kWinAnsiEncodingNames", win_ansi),
                        ("kMacExpertEncodingNames", mac_expert)):
        lines += ["", "const char* const %s[256] = {" % name]
        emit_rows(lines, c_names(table), 6)
        lines.append("};")
    index = {n: i for i, n in enumerate(standard_names)}
    lines += ["", "const uint8_t kStandardEncodingGlyphs[256] = {"]
    emit_rows(lines, [str(index.get(n, 0)) for n in StandardEncoding], 16)
    lines.append("};")
    for table_name, face in faces:
        widths = afm_widths(URW_AFM + face + ".afm")
        lines += ["", "const uint16_t %s[kStandardGlyphCount] = {" % table_name]
        emit_rows(lines, [str(widths.get(n, 0)) for n in standard_names], 16)
        lines.append("};")
    lines += ["", "const char* const kSymbolGlyphNames[kSymbolGlyphCount] = {"]
    emit_rows(lines, ['"%s"' % n for n in symbol_order], 6)
    lines.append("};")
    lines += ["", "const uint16_t kSymbolWidths[kSymbolGlyphCount] = {"]
    emit_rows(lines, [str(w) for w in symbol_widths], 16)
    lines += ["};", "", "}  // namespace resources"]
    with open(os.path.join(out_dir, "StandardFontTables.cpp"), "w") as f:
        f.write("\n".join(lines) + "\n")

    lines = [
        "// Generated by resources/fonts/make_font_tables.py: the \"CFF \" table of",
        "// fonts-urw-base35's StandardSymbolsPS.otf. Do not edit.",
        '#include "resources/StandardFontTables.h"',
        "",
        "namespace resources {",
        "",
        "const uint8_t kSymbolProgram[kSymbolProgramSize] = {",
    ]
    emit_rows(lines, [str(b) for b in symbol_cff], 24)
    lines += ["};", "", "}  // namespace resources"]
    with open(os.path.join(out_dir, "SymbolFontProgram.cpp"), "w") as f:
        f.write("\n".join(lines) + "\n")
    print("symbol glyphs", len(symbol_order), "program bytes", len(symbol_cff))


if __name__ == "__main__":
    main(sys.argv[1])
