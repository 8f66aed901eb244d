"""Keeps reference tools' answers between runs, like the compiler cache.

The answer of a reference tool (qpdf, poppler-utils, mupdf-tools, ...) to an
argument list is keyed by the arguments, the installed tool program (size,
time, inode) and the bytes of every existing file among the arguments, so an
upgraded tool or a changed file asks the tool again. Only the standard output
and the exit status are kept; time-outs and kills are never kept. The folder
is the one tests/support/ReferenceCache.h uses (FOLVANE_REFERENCE_CACHE, else
$XDG_CACHE_HOME/folvane-references, else ~/.cache/folvane-references; "off"
turns it off).
"""
import hashlib
import os
import shutil
import subprocess


def _folder():
    chosen = os.environ.get("FOLVANE_REFERENCE_CACHE")
    if chosen is not None:
        return None if chosen in ("", "off") else chosen
    xdg = os.environ.get("XDG_CACHE_HOME")
    if xdg:
        return os.path.join(xdg, "folvane-references")
    home = os.environ.get("HOME")
    return os.path.join(home, ".cache", "folvane-references") if home else None


def _key(args):
    tool = shutil.which(args[0])
    if tool is None:
        return None
    info = os.stat(tool)
    digest = hashlib.sha256()
    digest.update(b"py\0")
    digest.update(f"{info.st_size}:{int(info.st_mtime)}:{info.st_ino}\0".encode())
    for arg in args:
        digest.update(arg.encode(errors="surrogateescape") + b"\0")
        if os.path.isfile(arg):
            with open(arg, "rb") as data:
                for block in iter(lambda: data.read(1 << 16), b""):
                    digest.update(block)
    return digest.hexdigest()[:32]


def run(args, timeout=None):
    """Runs `args` (stderr dropped): (exit status, standard output bytes)."""
    folder = _folder()
    key = _key(args) if folder else None
    path = os.path.join(folder, "py-" + key) if key else None
    if path and os.path.isfile(path):
        with open(path, "rb") as kept:
            head, _, out = kept.read().partition(b"\n")
        if head.startswith(b"status "):
            return int(head[7:]), out
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
    if path and 0 <= result.returncode < 128:
        os.makedirs(folder, exist_ok=True)
        temporary = f"{path}.{os.getpid()}"
        with open(temporary, "wb") as out:
            out.write(b"status %d\n" % result.returncode + result.stdout)
        os.replace(temporary, path)
    return result.returncode, result.stdout
