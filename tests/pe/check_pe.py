#!/usr/bin/env python3
"""Checks that a Windows executable is built to resist misuse, from its PE
headers alone:   check_pe.py EXE
  - 64-bit (x64, PE32+), a GUI program
  - address-space randomisation: DYNAMIC_BASE with its relocations kept,
    HIGH_ENTROPY_VA and LARGE_ADDRESS_AWARE
  - no-execute: NX_COMPAT, and no section both writable and executable
  - imports (plain and delay-loaded) only from the system's own DLLs, none
    from a compiler runtime that the search path would have to find
  - an embedded manifest that asks for asInvoker without UI access
Prints one line per failure and, last, "failed: NAME..." or "all checks passed"."""
import re
import struct
import sys

MACHINE_AMD64 = 0x8664
PE32_PLUS = 0x20B
SUBSYSTEM_WINDOWS_GUI = 2
FILE_RELOCS_STRIPPED, FILE_LARGE_ADDRESS_AWARE = 0x0001, 0x0020
DLL_HIGH_ENTROPY_VA, DLL_DYNAMIC_BASE, DLL_NX_COMPAT = 0x0020, 0x0040, 0x0100
SCN_MEM_EXECUTE, SCN_MEM_WRITE = 0x20000000, 0x80000000
DIR_IMPORT, DIR_RESOURCE, DIR_BASERELOC, DIR_DELAY_IMPORT = 1, 2, 5, 13
RT_MANIFEST = 24

# Loaded from the system directory whatever the search path says (known DLLs,
# API sets), or, for the common controls, through the manifest's activation
# context; nothing a build directory or the working directory could supply.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comdlg32.dll", "comctl32.dll",
               "shell32.dll", "shlwapi.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll", "ucrtbase.dll"}
API_SET = re.compile(r"api-ms-win-[a-z0-9-]+\.dll")


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        if self.magic != PE32_PLUS:
            self.subsystem = self.dll_characteristics = 0
            self.directories, self.sections = [], []
            return
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
        count = struct.unpack_from("<I", data, optional + 108)[0]
        self.directories = [struct.unpack_from("<II", data, optional + 112 + 8 * i) for i in range(count)]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            name, vsize, vaddr, rsize, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            flags = struct.unpack_from("<I", data, table + 40 * i + 36)[0]
            self.sections.append((name.rstrip(b"\0").decode(errors="replace"), vaddr, max(vsize, rsize), raw, flags))

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def offset(self, rva):
        for _, vaddr, size, raw, _ in self.sections:
            if vaddr <= rva < vaddr + size:
                return raw + rva - vaddr
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode(errors="replace")

    def imported_dlls(self):
        """Names of the DLLs in the import and delay-import tables."""
        names = []
        for index, entry_size, name_field in ((DIR_IMPORT, 20, 12), (DIR_DELAY_IMPORT, 32, 4)):
            rva, _ = self.directory(index)
            while rva:
                entry = self.data[self.offset(rva):self.offset(rva) + entry_size]
                if not any(entry):
                    break
                names.append(self.c_string(struct.unpack_from("<I", entry, name_field)[0]))
                rva += entry_size
        return names

    def resources(self, type_id):
        """The data of every resource of one type, in every name and language."""
        root, _ = self.directory(DIR_RESOURCE)
        if not root:
            return []
        base = self.offset(root)

        def entries(at):
            named, ids = struct.unpack_from("<HH", self.data, base + at + 12)
            for i in range(named + ids):
                yield struct.unpack_from("<II", self.data, base + at + 16 + 8 * i)

        def leaves(at):
            for _, target in entries(at):
                if target & 0x80000000:
                    yield from leaves(target & 0x7FFFFFFF)
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + target)
                    yield self.data[self.offset(rva):self.offset(rva) + size]

        return [leaf for ident, target in entries(0) if ident == type_id and target & 0x80000000
                for leaf in leaves(target & 0x7FFFFFFF)]


def check(image):
    """Yields (name, message) for every check that fails."""
    if image.machine != MACHINE_AMD64 or image.magic != PE32_PLUS:
        yield "x64", f"machine {image.machine:#x}, optional header {image.magic:#x}: not a 64-bit image"
        return
    if image.subsystem != SUBSYSTEM_WINDOWS_GUI:
        yield "GUI", f"subsystem {image.subsystem}, not the Windows GUI"
    flags = image.dll_characteristics
    if not flags & DLL_DYNAMIC_BASE:
        yield "DYNAMIC_BASE", "DYNAMIC_BASE missing: the image always loads at one address"
    if image.characteristics & FILE_RELOCS_STRIPPED or not image.directory(DIR_BASERELOC)[0]:
        yield "RELOCATIONS", "no base relocations: the loader cannot move the image"
    if not flags & DLL_HIGH_ENTROPY_VA or not image.characteristics & FILE_LARGE_ADDRESS_AWARE:
        yield "HIGH_ENTROPY_VA", "HIGH_ENTROPY_VA or LARGE_ADDRESS_AWARE missing: randomised below 4 GiB only"
    if not flags & DLL_NX_COMPAT:
        yield "NX_COMPAT", "NX_COMPAT missing: data pages may run as code"
    for name, _, _, _, section_flags in image.sections:
        if section_flags & SCN_MEM_WRITE and section_flags & SCN_MEM_EXECUTE:
            yield "W^X", f"section {name} is both writable and executable"
    foreign = [dll for dll in image.imported_dlls() if dll.lower() not in SYSTEM_DLLS and not API_SET.fullmatch(dll.lower())]
    if foreign:
        yield "imports", "imports from DLLs that are not the system's own: " + ", ".join(foreign)
    manifests = image.resources(RT_MANIFEST)
    if not manifests:
        yield "manifest", "no embedded manifest"
    for text in manifests:
        level = re.search(rb"<(?:\w+:)?requestedExecutionLevel\b[^>]*>", text)
        if not level or b'level="asInvoker"' not in level.group(0) or b'uiAccess="false"' not in level.group(0):
            yield "manifest", "the manifest does not ask for asInvoker without UI access"


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as exe:
        image = Image(exe.read())
    failed = []
    for name, message in check(image):
        print(f"{sys.argv[1]}: {message}")
        failed.append(name)
    print("failed: " + " ".join(failed) if failed else "all checks passed")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
