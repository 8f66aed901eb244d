#!/usr/bin/env python3
"""Lists what qpdf finds in a PDF file, for the object-resolution corpus test.

Usage: corpus_objects.py FILE.pdf...

Runs qpdf once per file (JSON with stream data inline, generalized
decoding) and prints for each file a line "file <index of the file among
the arguments, from 0>", then:

  accepted | warnings | failed     qpdf's verdict (exit status 0, 3, other)
  encrypted rc4                    when the file is encrypted with RC4 (or not at all
                                   for streams or strings) and opens with the empty
                                   password; the objects follow, decrypted
  encrypted unsupported            when it opens with the empty password but uses
                                   another cipher (nothing else follows)
  encrypted locked                 when the empty password does not open it (nothing
                                   else follows)
  <number> <generation> <type> [decoded <base64> | raw]

for every object qpdf lists. type is null, boolean, integer, real, name,
string, array, dictionary, reference or stream. A stream is "decoded" when
qpdf removed every filter (the data is its decoded bytes) and "raw" when it
left filters it does not decode at that level. Cross-reference streams are
listed with the type "xrefstream": the library reads them as
cross-reference sections, and qpdf lists some whose own entries are broken.
"""
import json
import re
import subprocess
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import reference_cache  # noqa: E402


def value_type(value):
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "boolean"
    if isinstance(value, int):
        return "integer"
    if isinstance(value, float):
        return "real"
    if isinstance(value, list):
        return "array"
    if isinstance(value, dict):
        return "dictionary"
    if isinstance(value, str):
        if value.startswith("/"):
            return "name"
        if value.startswith("u:") or value.startswith("b:"):
            return "string"
        if re.fullmatch(r"\d+ \d+ R", value):
            return "reference"
    return "unknown"


def list_objects(pdf):
    status, out = reference_cache.run(["qpdf", "--json", "--json-stream-data=inline",
                                       "--decode-level=generalized", pdf])
    result = subprocess.CompletedProcess([], status, out)
    verdict = {0: "accepted", 3: "warnings"}.get(result.returncode, "failed")
    print(verdict)
    if verdict == "failed":
        return
    # Only the structure, types and base64 data matter: any byte decodes.
    document = json.loads(result.stdout.decode("latin-1"))
    encrypt = document.get("encrypt", {})
    if encrypt.get("encrypted"):
        if not (encrypt.get("userpasswordmatched") or encrypt.get("ownerpasswordmatched")):
            print("encrypted locked")
            return
        parameters = encrypt.get("parameters", {})
        methods = [parameters.get(key) for key in ("streammethod", "stringmethod", "filemethod")]
        if any(method not in ("RC4", "none") for method in methods):
            print("encrypted unsupported")
            return
        print("encrypted rc4")
    objects = document["qpdf"][1]
    out = []
    for key, entry in objects.items():
        match = re.fullmatch(r"obj:(\d+) (\d+) R", key)
        if not match:
            continue
        number, generation = match.groups()
        if "stream" in entry:
            stream = entry["stream"]
            if stream.get("dict", {}).get("/Type") == "/XRef":
                out.append("%s %s xrefstream" % (number, generation))
            elif "/Filter" in stream.get("dict", {}):
                out.append("%s %s stream raw" % (number, generation))
            else:
                out.append("%s %s stream decoded %s" % (number, generation, stream.get("data", "")))
        else:
            out.append("%s %s %s" % (number, generation, value_type(entry.get("value"))))
    sys.stdout.write("\n".join(out) + "\n")


def main():
    # The files of a corpus group go through one interpreter, which costs
    # more to start than most files take to list.
    for index, pdf in enumerate(sys.argv[1:]):
        print("file", index)
        try:
            list_objects(pdf)
        except Exception:  # noqa: BLE001 - one unreadable answer must not end the group
            pass
        sys.stdout.flush()


if __name__ == "__main__":
    main()
