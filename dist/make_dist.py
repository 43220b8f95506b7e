#!/usr/bin/env python3
"""Makes Osprel's release: a zip archive holding both programs, stripped, and
README.txt for Windows users, beside SHA256SUMS for the archive and both
programs. The same programs give the same bytes, whenever and wherever this
runs: fixed names, order, times and attributes in the archive.

    make_dist.py OUT_DIR X64_EXE X86_EXE
The version comes from the resource script's version block."""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STRIP = {"x64": "x86_64-w64-mingw32-strip", "x86": "i686-w64-mingw32-strip"}
# The archive's own time for every entry: the oldest a zip file can say.
ZIP_TIME = (1980, 1, 1, 0, 0, 0)


def version():
    """'1.5' for FILEVERSION 1, 5, 0, 0: the release's number, trailing zeros dropped."""
    with open(os.path.join(ROOT, "res", "osprel.rc"), encoding="ascii") as rc:
        numbers = re.search(r"^FILEVERSION\s+(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", rc.read(), re.M).groups()
    parts = list(numbers)
    while len(parts) > 2 and parts[-1] == "0":
        parts.pop()
    return ".".join(parts)


def readme(release):
    with open(os.path.join(ROOT, "dist", "README.txt"), encoding="ascii") as text:
        lines = text.read().replace("@VERSION@", release).splitlines()
    # Notepad on older Windows shows one long line without carriage returns.
    return "".join(line + "\r\n" for line in lines).encode("ascii")


def add(archive, name, data):
    entry = zipfile.ZipInfo(name, ZIP_TIME)
    entry.compress_type = zipfile.ZIP_DEFLATED
    entry.create_system = 0          # MS-DOS: plain files, no Unix owner or mode
    entry.external_attr = 0x20       # FILE_ATTRIBUTE_ARCHIVE, as Windows writes it
    archive.writestr(entry, data, compresslevel=9)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    out, programs = sys.argv[1], {"x64": sys.argv[2], "x86": sys.argv[3]}
    release = version()
    shutil.rmtree(out, ignore_errors=True)
    # strip writes the time it runs into the PE header unless it is given a
    # time: zero, as the linker left it.
    strip_env = dict(os.environ, SOURCE_DATE_EPOCH="0")
    for arch, exe in programs.items():
        os.makedirs(os.path.join(out, arch))
        subprocess.run([STRIP[arch], "-o", os.path.join(out, arch, "Osprel.exe"), exe], check=True, env=strip_env)

    archive_name = f"Osprel-{release}.zip"
    with zipfile.ZipFile(os.path.join(out, archive_name), "w") as archive:
        add(archive, "README.txt", readme(release))
        for arch in programs:
            with open(os.path.join(out, arch, "Osprel.exe"), "rb") as exe:
                add(archive, f"{arch}/Osprel.exe", exe.read())

    files = [archive_name] + [f"{arch}/Osprel.exe" for arch in programs]
    with open(os.path.join(out, "SHA256SUMS"), "w", encoding="ascii", newline="\n") as sums:
        sums.writelines(f"{sha256(os.path.join(out, name))}  {name}\n" for name in files)
    print(f"{os.path.join(out, archive_name)} and SHA256SUMS")


if __name__ == "__main__":
    main()
