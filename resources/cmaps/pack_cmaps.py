#!/usr/bin/env python3
"""Packs the predefined CMaps of the four CJK character collections into the
bit-packed tables that fonts/BuiltinCMapTextStream expands back into CMap
text.

Source: the CMap files of Debian's poppler-data package
(/usr/share/poppler/cMap/<Registry>-<Ordering>/<name>). Comments and the
CIDSystemInfo, version and XUID entries are left out: the expanded text
keeps what the CMap parser reads (usecmap, WMode, code-space ranges and
every mapping section).

Usage: pack_cmaps.py OUTPUT.cpp [CMAP_DIR]
       pack_cmaps.py --expand NAME [CMAP_DIR]   (prints the expanded text,
                                                 for checking by hand)
"""
import os
import re
import sys

COLLECTIONS = [
    ("Japan1", ["83pv-RKSJ-H", "90ms-RKSJ-H", "90ms-RKSJ-V", "90msp-RKSJ-H", "90msp-RKSJ-V",
                "90pv-RKSJ-H", "Add-RKSJ-H", "Add-RKSJ-V", "Vantrel-Japan1-UCS2", "EUC-H",
                "EUC-V", "Ext-RKSJ-H", "Ext-RKSJ-V", "H", "UniJIS-UCS2-H", "UniJIS-UCS2-HW-H",
                "UniJIS-UCS2-HW-V", "UniJIS-UCS2-V", "UniJIS-UTF16-H", "UniJIS-UTF16-V", "V"]),
    ("Korea1", ["Vantrel-Korea1-UCS2", "KSC-EUC-H", "KSC-EUC-V", "KSCms-UHC-HW-H",
                "KSCms-UHC-HW-V", "KSCms-UHC-V", "KSCms-UHC-H", "KSCpc-EUC-H", "UniKS-UCS2-H",
                "UniKS-UCS2-V", "UniKS-UTF16-H", "UniKS-UTF16-V"]),
    ("CNS1", ["Vantrel-CNS1-UCS2", "B5pc-H", "B5pc-V", "CNS-EUC-H", "CNS-EUC-V", "ETHK-B5-H",
              "ETHK-B5-V", "ETen-B5-H", "ETen-B5-V", "ETenms-B5-H", "ETenms-B5-V", "HKdla-B5-H",
              "HKdla-B5-V", "HKdlb-B5-H", "HKdlb-B5-V", "HKgccs-B5-H", "HKgccs-B5-V",
              "HKm314-B5-H", "HKm314-B5-V", "HKm471-B5-H", "HKm471-B5-V", "HKscs-B5-H",
              "HKscs-B5-V", "UniCNS-UCS2-H", "UniCNS-UCS2-V", "UniCNS-UTF16-H",
              "UniCNS-UTF16-V"]),
    ("GB1", ["Vantrel-GB1-UCS2", "GB-EUC-H", "GB-EUC-V", "GBK-EUC-H", "GBK-EUC-V", "GBK2K-H",
             "GBK2K-V", "GBKp-EUC-H", "GBKp-EUC-V", "GBT-EUC-H", "GBT-EUC-V", "GBpc-EUC-H",
             "GBpc-EUC-V", "UniGB-UCS2-H", "UniGB-UCS2-V", "UniGB-UTF16-H", "UniGB-UTF16-V"]),
]

WORDS = ["beginbfchar", "beginbfrange", "begincidchar", "begincidrange", "endbfchar",
         "endbfrange", "endcidchar", "endcidrange", "begin", "begincmap",
         "begincodespacerange", "beginnotdefrange", "currentdict", "def", "defineresource",
         "dict", "dup", "end", "endcmap", "endcodespacerange", "endnotdefrange", "findresource",
         "pop", "usecmap", "1.000", "1.001", "9.001", "10.001", "11.001", "12.000", "12.001",
         "CMapName", "(Vantrel)", "(CNS1)", "(GB1)", "(Japan1)", "(Japan2)", "(Korea1)",
         "/CIDCount", "/CIDInit", "/CIDSystemInfo", "/CMap", "/CMapName", "/CMapVersion",
         "/CMapType", "/Ordering", "/ProcSet", "/Registry", "/Supplement", "/UIDOffset",
         "/WMode", "/XUID", "TBDd", "TBDc", "TBDb", "TBDa", "TBD9", "TBD8", "TBD7", "TBD6",
         "TBD5", "TBD4", "TBD3", "TBD2"]
WORD_INDEX = {word: i for i, word in enumerate(WORDS)}
# Sections whose entries go into table records: (begin word, has a range end,
# destination kind).
SECTIONS = {
    "begincidrange": ("endcidrange", True, "cid"),
    "begincidchar": ("endcidchar", False, "cid"),
    "beginnotdefrange": ("endnotdefrange", True, "cid"),
    "beginbfchar": ("endbfchar", False, "bf"),
    "beginbfrange": ("endbfrange", True, "bf"),
}
MAX_RECORDS = 255


def source_name(ordering, name):
    """The poppler-data file of a table name (our registry's UCS2 maps are
    the files of the registry real files carry)."""
    if name.startswith("Vantrel-"):
        name = "Adobe-" + name[len("Vantrel-"):]
    return os.path.join("Adobe-" + ordering, name)


TOKEN = re.compile(rb"%[^\r\n]*|<[0-9A-Fa-f\s]*>|\[|\]|\([^)]*\)|/?[^\s<>\[\]()/%]+")


def tokens(text):
    return [t for t in TOKEN.findall(text) if not t.startswith(b"%")]


def hex_bytes(token):
    digits = re.sub(rb"\s", b"", token[1:-1])
    if len(digits) % 2:
        digits += b"0"
    return bytes.fromhex(digits.decode())


class BitWriter:
    def __init__(self):
        self.bits = []

    def put(self, value, count):
        assert 0 <= value < (1 << count) or count == 0, (value, count)
        for i in range(count - 1, -1, -1):
            self.bits.append((value >> i) & 1)

    def data(self):
        bits = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))


class Packer:
    def __init__(self):
        self.out = BitWriter()
        self.pending = b""

    # Literal mode.
    def literal(self, data):
        self.pending += data

    def flush(self):
        while self.pending:
            chunk, self.pending = self.pending[:255], self.pending[255:]
            self.out.put(1, 2)
            self.out.put(len(chunk), 8)
            for byte in chunk:
                self.out.put(byte, 8)

    def word(self, word):
        # The expander writes a blank before the word and line feeds after
        # the section words.
        self.flush()
        self.out.put(2, 2)
        self.out.put(WORD_INDEX[word], 6)

    def token(self, token):
        if token.decode() in WORD_INDEX:
            self.word(token.decode())
        else:
            self.literal(b" " + token)

    def finish(self):
        self.flush()
        self.out.put(0, 2)
        return self.out.data()

    # Table mode.
    def table(self, records, has_range_end, kind):
        """records: (code bytes, code, range length, destination) with the
        destination an int (CID or hex number of `width` bytes: (value, width))
        or bytes (a long string)."""
        self.flush()
        self.out.put(3, 2)
        self.out.put(1 if kind == "bf" else 0, 1)
        self.out.put(1 if has_range_end else 0, 1)
        self.out.put(len(records), 8)
        code = 0
        code_bytes = 0
        dest = 0
        dest_bytes = 0
        widths = {1: 0, 2: 0, 3: 0}
        for code_len, low, length, destination in records:
            changes = []
            if low < code:
                changes.append((1, 0, None))
                code = 0
            if code_len != code_bytes:
                changes.append((1, 1, code_len - 1))
                code_bytes = code_len
            if isinstance(destination, bytes):
                want_bytes = len(destination)
                dest_delta = 0
            elif kind == "bf":
                value, want_bytes = destination
                dest_delta = value - dest
            else:
                want_bytes = dest_bytes if dest_bytes and dest_bytes < 5 else 4
                dest_delta = destination - dest
            if want_bytes != dest_bytes:
                changes.append((2, 1, want_bytes))
                dest_bytes = want_bytes
            needs = {1: (low - code).bit_length(),
                     2: abs(dest_delta).bit_length() if dest_bytes < 5 else widths[2],
                     3: length.bit_length() if has_range_end else widths[3]}
            for field in (1, 2, 3):
                need, have = needs[field], widths[field]
                if need > have or need + 3 < have:
                    changes.append((field, 2, None))
                    rest = need
                    while rest >= 16:
                        changes.append((field, 7, None))
                        rest -= 16
                    for power in (3, 2, 1, 0):
                        if rest & (1 << power):
                            changes.append((field, power + 3, None))
                    widths[field] = need
            if changes:
                self.out.put(1, 1)
                for field, op, value in changes:
                    self.out.put(field, 2)
                    self.out.put(op, 3)
                    if op == 1:
                        if field == 1:
                            self.out.put(value, 2)
                        elif value in (1, 2, 4):
                            self.out.put({1: 0, 2: 1, 4: 2}[value], 2)
                        else:
                            self.out.put(3, 2)
                            self.out.put(value, 5)
                self.out.put(0, 2)
            else:
                self.out.put(0, 1)
            self.out.put(low - code, widths[1])
            code = low
            if dest_bytes < 5:
                self.out.put(abs(dest_delta), widths[2])
                self.out.put(1 if dest_delta < 0 else 0, 1)
                dest += dest_delta
            else:
                for byte in destination:
                    self.out.put(byte, 8)
            if has_range_end:
                self.out.put(length, widths[3])
            code += length + 1
            dest += length


def pack(text):
    packer = Packer()
    items = tokens(text)
    i = 0
    # Skip the header up to "begincmap": the parser needs nothing of it.
    while i < len(items) and items[i] != b"begincmap":
        i += 1
    while i < len(items):
        token = items[i].decode("latin-1")
        if token in SECTIONS and i > 0:
            end_word, has_range_end, kind = SECTIONS[token]
            j = i + 1
            entries = []
            while items[j].decode("latin-1") != end_word:
                entries.append(items[j])
                j += 1
            records = section_records(entries, has_range_end, kind)
            if records is None:
                packer.token(items[i])
                for entry in entries:
                    packer.literal(b" " + entry)
            else:
                for start in range(0, len(records), MAX_RECORDS):
                    chunk = records[start:start + MAX_RECORDS]
                    packer.literal(b"\n%d" % len(chunk))
                    packer.word(token)
                    packer.table(chunk, has_range_end, kind)
                    packer.word(end_word)
                i = j + 1
                continue
            packer.token(items[j])
            i = j + 1
            continue
        if token == "/CIDSystemInfo":
            # "/CIDSystemInfo n dict dup begin ... end def"
            while items[i] != b"def" or items[i - 1] != b"end":
                i += 1
            i += 1
            continue
        if token in ("/CMapVersion", "/CMapType", "/XUID", "/UIDOffset"):
            while items[i] != b"def":
                i += 1
            i += 1
            continue
        if (re.fullmatch(rb"\d+", items[i]) and i + 1 < len(items) and
                items[i + 1].decode("latin-1") in SECTIONS):
            i += 1  # the section writes its own count
            continue
        packer.token(items[i])
        i += 1
    return packer.finish()


def section_records(entries, has_range_end, kind):
    per = 3 if has_range_end else 2
    if len(entries) % per:
        return None
    records = []
    for k in range(0, len(entries), per):
        group = entries[k:k + per]
        if not group[0].startswith(b"<"):
            return None
        low = hex_bytes(group[0])
        length = 0
        if has_range_end:
            if not group[1].startswith(b"<"):
                return None
            high = hex_bytes(group[1])
            if len(high) != len(low):
                return None
            length = int.from_bytes(high, "big") - int.from_bytes(low, "big")
            if length < 0:
                return None
        if not 1 <= len(low) <= 4:
            return None
        destination = group[-1]
        if kind == "cid":
            if not re.fullmatch(rb"\d+", destination):
                return None
            value = int(destination)
        else:
            if not destination.startswith(b"<"):
                return None
            data = hex_bytes(destination)
            if len(data) == 0 or len(data) > 31:
                return None
            value = data if len(data) >= 5 else (int.from_bytes(data, "big"), len(data))
        records.append((len(low), int.from_bytes(low, "big"), length, value))
    return records


# ---- the expander, as a check of the packer (mirrors BuiltinCMapTextStream)

class BitReader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def get(self, count):
        value = 0
        for _ in range(count):
            byte = self.data[self.pos >> 3] if (self.pos >> 3) < len(self.data) else 0
            value = (value << 1) | ((byte >> (7 - (self.pos & 7))) & 1)
            self.pos += 1
        return value


def expand(data):
    bits = BitReader(data)
    out = []
    while True:
        command = bits.get(2)
        if command == 0:
            break
        if command == 1:
            n = bits.get(8)
            out.append(bytes(bits.get(8) for _ in range(n)))
        elif command == 2:
            index = bits.get(6)
            out.append(b" " + WORDS[index].encode())
            if index < 4:
                out.append(b"\n")
            elif index < 8:
                out.append(b"\n\n")
        else:
            is_hex = bits.get(1)
            has_range_end = bits.get(1)
            left = bits.get(8)
            code = code_bytes = code_bits = range_bits = 0
            dest = dest_bytes = dest_bits = 0
            while left:
                left -= 1
                if bits.get(1):
                    while True:
                        field = bits.get(2)
                        if field == 0:
                            break
                        op = bits.get(3)
                        if op == 0:
                            code = 0
                        elif op == 1:
                            v = bits.get(2)
                            if field == 1:
                                code_bytes = v + 1
                            else:
                                dest_bytes = (1, 2, 4)[v] if v < 3 else bits.get(5)
                        elif op == 2:
                            if field == 1:
                                code_bits = 0
                            elif field == 2:
                                dest_bits = 0
                            else:
                                range_bits = 0
                        else:
                            grow = 1 << (op - 3)
                            if field == 1:
                                code_bits = min(32, code_bits + grow)
                            elif field == 2:
                                dest_bits = min(32, dest_bits + grow)
                            else:
                                range_bits = min(32, range_bits + grow)
                code = (code + bits.get(code_bits)) & 0xFFFFFFFF
                string = None
                if dest_bytes < 5:
                    delta = bits.get(dest_bits)
                    dest = (dest - delta if bits.get(1) else dest + delta) & 0xFFFFFFFF
                else:
                    string = bytes(bits.get(8) for _ in range(dest_bytes))
                length = bits.get(range_bits) if has_range_end else 0
                line = b"<%0*X>" % (2 * code_bytes, code)
                if has_range_end:
                    code = (code + length) & 0xFFFFFFFF
                    line += b"<%0*X>" % (2 * code_bytes, code)
                if string is not None:
                    line += b"<" + string.hex().upper().encode() + b">\n"
                elif is_hex:
                    line += b"<%0*X>\n" % (2 * dest_bytes, dest)
                else:
                    line += b"%d\n" % (dest - (1 << 32) if dest >= 1 << 31 else dest)
                out.append(line)
                dest = (dest + length) & 0xFFFFFFFF
                code = (code + 1) & 0xFFFFFFFF
    return b"".join(out)


def mappings(text):
    """The code-to-destination entries of a CMap text, in order, with the
    usecmap names: enough to compare a source with its expansion."""
    items = tokens(text)
    result = []
    i = 0
    while i < len(items):
        token = items[i].decode("latin-1")
        if token in SECTIONS or token == "begincodespacerange":
            end_word = SECTIONS[token][0] if token in SECTIONS else "endcodespacerange"
            j = i + 1
            while items[j].decode("latin-1") != end_word:
                item = items[j]
                result.append(hex_bytes(item) if item.startswith(b"<") else item)
                j += 1
            result.append(token)
            i = j + 1
            continue
        if token == "usecmap" or token == "def" and items[i - 2] == b"/WMode":
            result.append((token, items[i - 1]))
        i += 1
    return result


def main():
    args = sys.argv[1:]
    if args and args[0] == "--expand":
        folder = args[2] if len(args) > 2 else "/usr/share/poppler/cMap"
        for ordering, names in COLLECTIONS:
            if args[1] in names:
                with open(os.path.join(folder, source_name(ordering, args[1])), "rb") as f:
                    sys.stdout.buffer.write(expand(pack(f.read())))
        return
    output = args[0]
    folder = args[1] if len(args) > 1 else "/usr/share/poppler/cMap"
    lines = ["// Generated by resources/cmaps/pack_cmaps.py from the CMap files of",
             "// Debian's poppler-data package. Do not edit.",
             '#include "resources/CMapTables.h"', "", "namespace resources {", "",
             "namespace {", ""]
    directory = []
    total = 0
    for ordering, names in COLLECTIONS:
        rows = []
        for name in names:
            with open(os.path.join(folder, source_name(ordering, name)), "rb") as f:
                text = f.read()
            data = pack(text)
            if mappings(expand(data)) != mappings(text):
                sys.exit("pack_cmaps.py: %s does not survive the round trip" % name)
            symbol = "k" + re.sub(r"[^A-Za-z0-9]", "_", name)
            total += len(data)
            # Octal escapes in string literals keep the source small and
            # quick to compile.
            body = []
            chunk = ""
            for byte in data:
                chunk += "\\%o" % byte
                if len(chunk) > 100:
                    body.append('    "%s"' % chunk)
                    chunk = ""
            if chunk:
                body.append('    "%s"' % chunk)
            lines.append("constexpr char %s[%d] =" % (symbol, len(data) + 1))
            lines.extend(body)
            lines[-1] += ";"
            lines.append("")
            rows.append('    {"%s", %s, %d},' %
                        (name, symbol, len(data)))
        directory.append((ordering, rows))
    lines.append("}  // namespace")
    lines.append("")
    for ordering, rows in directory:
        lines.append("const PackedCMap k%sCMaps[] = {" % ordering)
        lines.extend(rows)
        lines.append("};")
        lines.append("const uint32_t k%sCMapCount = %d;" % (ordering, len(rows)))
        lines.append("")
    lines.append("}  // namespace resources")
    with open(output, "w") as f:
        f.write("\n".join(lines) + "\n")
    print("pack_cmaps.py: %d tables, %d bytes" % (sum(len(r) for _, r in directory), total))


if __name__ == "__main__":
    main()
