#!/usr/bin/env python3
"""Writes RC4-encrypted test documents with qpdf and lists what qpdf reports.

Usage: make_encrypted_fixtures.py OUTDIR

Makes one small document (an "Info" string and a page content stream) and
encrypts it with qpdf: 40-bit revision 2, 40-bit revision 3 with a
cross-reference stream, 128-bit revision 3, 128-bit revision 4 with RC4
crypt filters, and 128-bit AES. Each comes twice: with an empty user
password and with the user password "usr"; the owner password is "own". One more 128-bit file has a
user password of 36 bytes, and a revision 4 file written here
("r4_cryptfilter") uses an explicit "Crypt" filter for its page contents.

qpdf cannot write 40-bit revision 3 files itself: a tiny document carries
an "Encrypt" dictionary computed here from the published algorithms, and
qpdf copies that encryption onto the document (--copy-encryption) and
checks the result when it reads it back. That file comes twice: with the
owner key qpdf computes ("r3_40") and with the published one
("r3_40_whole", whose owner password qpdf does not accept).

For every file and password tried, prints one line of tab-separated fields:
  file password status P user|owner|none info-number title stream-number base64(stream)
as qpdf reports them (--show-encryption, --show-object). status is "ok",
"wrong" (qpdf rejects the password) or "failed".
"""
import base64
import hashlib
import json
import os
import re
import subprocess
import sys

PAD = bytes([0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E, 0x56,
             0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80,
             0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A])

TITLE = "Secret title 42"
CONTENT = b"BT /F1 12 Tf 72 720 Td (Hidden text) Tj ET\n"


def rc4(key, data):
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 0xFF
        s[i], s[j] = s[j], s[i]
    i = j = 0
    out = bytearray()
    for byte in data:
        i = (i + 1) & 0xFF
        j = (j + s[i]) & 0xFF
        s[i], s[j] = s[j], s[i]
        out.append(byte ^ s[(s[i] + s[j]) & 0xFF])
    return bytes(out)


def padded(password):
    return (password + PAD)[:32]


def r3_values(user, owner, n, p, file_id, whole_digest):
    """The "O" and "U" of a revision 3 handler with an n-byte key. The owner
    key's 50 rounds digest the whole digest (the published algorithm) or
    its first n bytes (what qpdf and others write and read)."""
    digest = hashlib.md5(padded(owner)).digest()
    for _ in range(50):
        digest = hashlib.md5(digest if whole_digest else digest[:n]).digest()
    okey = digest[:n]
    o = padded(user)
    for i in range(20):
        o = rc4(bytes(b ^ i for b in okey), o)
    digest = hashlib.md5(padded(user) + o + (p & 0xFFFFFFFF).to_bytes(4, "little") +
                         file_id).digest()
    for _ in range(50):
        digest = hashlib.md5(digest[:n]).digest()
    key = digest[:n]
    u = hashlib.md5(PAD + file_id).digest()
    for i in range(20):
        u = rc4(bytes(b ^ i for b in key), u)
    return o, u + bytes(16), key


def write_plain(path):
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>",
        b"<< /Length %d >>\nstream\n" % len(CONTENT) + CONTENT + b"endstream",
        b"<< /Title (" + TITLE.encode() + b") >>",
    ]
    write_objects(path, objects, b"/Root 1 0 R /Info 5 0 R")


def write_objects(path, objects, trailer):
    out = bytearray(b"%PDF-1.4\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    table = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< /Size %d " % (len(objects) + 1) + trailer + b" >>\nstartxref\n%d\n%%%%EOF\n" % table
    with open(path, "wb") as f:
        f.write(out)


def write_r3_40_carrier(path, user, owner, whole_digest):
    file_id = hashlib.md5(b"forty-bit revision three").digest()
    p = -3904
    o, u, _ = r3_values(user, owner, 5, p, file_id, whole_digest)
    encrypt = (b"<< /Filter /Standard /V 2 /R 3 /Length 40 /P %d /O <%s> /U <%s> >>" %
               (p, o.hex().encode(), u.hex().encode()))
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [] /Count 0 >>",
               encrypt]
    hexid = file_id.hex().encode()
    write_objects(path, objects, b"/Root 1 0 R /Encrypt 3 0 R /ID [<%s> <%s>]" % (hexid, hexid))


def write_r4_crypt_filters(path, user, owner):
    """Revision 4 with an RC4 crypt filter for strings, "Identity" as the
    default for streams, and the page contents behind an explicit "Crypt"
    filter that names the RC4 one."""
    file_id = hashlib.md5(b"crypt filters").digest()
    p = -44
    o, u, key = r3_values(user, owner, 16, p, file_id, True)

    def object_key(number):
        return hashlib.md5(key + number.to_bytes(3, "little") + bytes(2)).digest()[:16]

    title = rc4(object_key(5), TITLE.encode())
    content = rc4(object_key(4), CONTENT)
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>",
        b"<< /Length %d /Filter [/Crypt] /DecodeParms [<< /Name /StdCF >>] >>\nstream\n" %
        len(content) + content + b"\nendstream",
        b"<< /Title <" + title.hex().encode() + b"> >>",
        b"<< /Filter /Standard /V 4 /R 4 /Length 128 /CF << /StdCF << /CFM /V2 /Length 16 "
        b"/AuthEvent /DocOpen >> >> /StrF /StdCF /StmF /Identity /P %d /O <%s> /U <%s> >>" %
        (p, o.hex().encode(), u.hex().encode()),
    ]
    hexid = file_id.hex().encode()
    write_objects(path, objects,
                  b"/Root 1 0 R /Info 5 0 R /Encrypt 6 0 R /ID [<%s> <%s>]" % (hexid, hexid))


def qpdf(*args):
    return subprocess.run(["qpdf", *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def report(path, password):
    name = os.path.basename(path)
    shown = qpdf("--show-encryption", "--password=" + password, path)
    text = shown.stdout.decode("latin-1")
    if re.search("invalid password|Incorrect password", shown.stderr.decode("latin-1") + text):
        return "\t".join([name, password, "wrong"])
    if shown.returncode not in (0, 3):
        return "\t".join([name, password, "failed"])
    p = re.search(r"^P = (-?\d+)", text, re.M)
    used = "owner" if "is owner password" in text else "user" if "is user password" in text else "none"
    listing = json.loads(qpdf("--json", "--password=" + password, path).stdout.decode("latin-1"))
    trailer = listing["qpdf"][1]["trailer"]["value"]
    info = int(trailer["/Info"].split()[0])
    contents = int(listing["pages"][0]["contents"][0].split()[0])
    shown_info = qpdf("--show-object=%d" % info, "--password=" + password, path).stdout
    title = re.search(rb"/Title \((.*)\)", shown_info)
    data = qpdf("--show-object=%d" % contents, "--filtered-stream-data",
                "--password=" + password, path).stdout
    return "\t".join([name, password, "ok", p.group(1) if p else "", used, str(info),
                      title.group(1).decode("latin-1") if title else "", str(contents),
                      base64.b64encode(data).decode()])


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    plain = os.path.join(out, "plain.pdf")
    write_plain(plain)
    made = []
    for user in ("", "usr"):
        tag = "empty" if user == "" else "user"
        kinds = {
            "r2_40": ["40", "--print=n", "--modify=n", "--"],
            "r3_128": ["128", "--use-aes=n", "--print=low", "--modify=none", "--"],
            "r4_rc4": ["128", "--use-aes=n", "--force-V4", "--extract=n", "--"],
            "aes": ["128", "--use-aes=y", "--"],
        }
        for kind, options in kinds.items():
            path = os.path.join(out, "%s_%s.pdf" % (kind, tag))
            qpdf("--allow-weak-crypto", "--encrypt", user, "own", *options, plain, path)
            made.append((path, user))
        for whole, kind in ((False, "r3_40"), (True, "r3_40_whole")):
            carrier = os.path.join(out, "carrier_%s_%s.pdf" % (kind, tag))
            write_r3_40_carrier(carrier, user.encode(), b"own", whole)
            path = os.path.join(out, "%s_%s.pdf" % (kind, tag))
            qpdf("--allow-weak-crypto", "--copy-encryption=" + carrier,
                 "--encryption-file-password=" + user, "--object-streams=generate", plain, path)
            made.append((path, user))
    for user, tag in (("", "empty"), ("usr", "user")):
        path = os.path.join(out, "r4_cryptfilter_%s.pdf" % tag)
        write_r4_crypt_filters(path, user.encode(), b"own")
        made.append((path, user))
    # Passwords longer than 32 bytes count by their first 32.
    long_password = "0123456789abcdefghijklmnopqrstuvwxyz"
    path = os.path.join(out, "r3_128_long.pdf")
    qpdf("--allow-weak-crypto", "--encrypt", long_password, "own", "128", "--use-aes=n", "--",
         plain, path)
    made.append((path, long_password))
    for path, user in made:
        for password in sorted({user, "own", "wrong"}):
            print(report(path, password))


if __name__ == "__main__":
    main()
