#!/usr/bin/env python3
"""Checks a Windows executable from its PE headers alone:
    check_pe.py EXE [--imports TABLE]
  - a GUI program, 64-bit (x64, PE32+) or 32-bit (x86, PE32)
  - address-space randomisation: DYNAMIC_BASE with its relocations kept;
    64-bit: HIGH_ENTROPY_VA and LARGE_ADDRESS_AWARE as well
  - no-execute: NX_COMPAT, and no section both writable and executable
  - a subsystem version and an OS version the oldest Windows it is meant
    for accepts: 4.0 (Windows NT 4.0) for x86, 5.2 (Windows XP x64 and
    Server 2003) for x64
  - imports (plain and delay-loaded) only from the system's own DLLs, none
    from a compiler runtime that the search path would have to find
  - with --imports: every imported function is in TABLE for the program's
    processor, a list of what the program may import with the oldest Windows
    that has each on that processor, and that Windows is not newer than the
    one the program is meant for
  - an embedded manifest that asks for asInvoker without UI access
Prints one line per failure and, last, "failed: NAME..." or "all checks passed"."""
import re
import struct
import sys

MACHINE_I386, MACHINE_AMD64 = 0x14C, 0x8664
PE32, PE32_PLUS = 0x10B, 0x20B
SUBSYSTEM_WINDOWS_GUI = 2
FILE_RELOCS_STRIPPED, FILE_LARGE_ADDRESS_AWARE = 0x0001, 0x0020
DLL_HIGH_ENTROPY_VA, DLL_DYNAMIC_BASE, DLL_NX_COMPAT = 0x0020, 0x0040, 0x0100
SCN_MEM_EXECUTE, SCN_MEM_WRITE = 0x20000000, 0x80000000
DIR_IMPORT, DIR_RESOURCE, DIR_BASERELOC, DIR_DELAY_IMPORT = 1, 2, 5, 13
RT_MANIFEST = 24

# The Windows versions the import table names, oldest first. "XP x64" is
# Windows XP Professional x64 Edition and Server 2003 SP1, the first x64 ones.
WINDOWS = ["NT 3.1", "NT 3.5", "NT 4.0", "2000", "XP", "XP x64", "Vista"]
# Per machine: its name, the oldest Windows the program is meant for, and the
# subsystem and OS version that Windows's loader accepts at most.
TARGETS = {MACHINE_I386: ("x86", "NT 4.0", (4, 0)), MACHINE_AMD64: ("x64", "XP x64", (5, 2))}
# The first Windows of each processor: a function the table dates earlier is
# on that processor from then.
FIRST_WINDOWS = {"x86": "NT 3.1", "x64": "XP x64"}
PROCESSORS = list(FIRST_WINDOWS)

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
        if self.magic not in (PE32, PE32_PLUS):
            raise ValueError(f"optional header {self.magic:#x}")
        self.wide = self.magic == PE32_PLUS
        self.os_version = struct.unpack_from("<HH", data, optional + 40)
        self.subsystem_version = struct.unpack_from("<HH", data, optional + 48)
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
        directories_at = optional + (112 if self.wide else 96)
        count = struct.unpack_from("<I", data, directories_at - 4)[0]
        self.directories = [struct.unpack_from("<II", data, directories_at + 8 * i) for i in range(count)]
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

    def _functions(self, names_rva):
        """The functions one import name table names, or '#N' for an ordinal."""
        size, ordinal_flag = (8, 1 << 63) if self.wide else (4, 1 << 31)
        while names_rva:
            thunk = int.from_bytes(self.data[self.offset(names_rva):self.offset(names_rva) + size], "little")
            if not thunk:
                return
            yield f"#{thunk & 0xFFFF}" if thunk & ordinal_flag else self.c_string(thunk + 2)
            names_rva += size

    def imports(self):
        """(DLL, function) for every import, plain and delay-loaded."""
        found = []
        # Descriptor size, offset of the DLL's name, offsets of the name tables to try.
        for index, entry_size, name_field, tables in ((DIR_IMPORT, 20, 12, (0, 16)), (DIR_DELAY_IMPORT, 32, 4, (16,))):
            rva, _ = self.directory(index)
            while rva:
                entry = self.data[self.offset(rva):self.offset(rva) + entry_size]
                if not any(entry):
                    break
                dll = self.c_string(struct.unpack_from("<I", entry, name_field)[0])
                names = next((t for t in (struct.unpack_from("<I", entry, f)[0] for f in tables) if t), 0)
                found += [(dll, function) for function in self._functions(names)] or [(dll, None)]
                rva += entry_size
        return found

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


def read_import_table(path):
    """{processor: {(dll, function): oldest Windows}} from TABLE: 'DLL FUNCTION PROCESSOR... WINDOWS'
    lines, '#' comments. A function whose first Windows differs by processor has a line for each."""
    table = {arch: {} for arch in PROCESSORS}
    with open(path, encoding="ascii") as lines:
        for number, line in enumerate(lines, 1):
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            processors = []
            for word in words[2:]:
                if word not in PROCESSORS:
                    break
                processors.append(word)
            windows = " ".join(words[2 + len(processors):])
            if len(words) < 4 or not processors or windows not in WINDOWS:
                raise ValueError(f"{path}:{number}: expected 'DLL FUNCTION PROCESSOR... WINDOWS', "
                                 f"PROCESSOR of {PROCESSORS}, WINDOWS one of {WINDOWS}")
            for arch in processors:
                key = (words[0].lower(), words[1])
                if key in table[arch]:
                    raise ValueError(f"{path}:{number}: {words[1]} is listed for {arch} already")
                table[arch][key] = max(windows, FIRST_WINDOWS[arch], key=WINDOWS.index)
    return table


def check_imports(image, table, arch, oldest):
    for dll, function in image.imports():
        windows = table[arch].get((dll.lower(), function))
        if windows is None:
            yield f"{dll} {function} is not in the import table for {arch}"
        elif WINDOWS.index(windows) > WINDOWS.index(oldest):
            yield f"{dll} {function} needs Windows {windows}; the program is meant for Windows {oldest} on"


def check(image, import_table=None):
    """Yields (name, message) for every check that fails."""
    if image.machine not in TARGETS or image.wide != (image.machine == MACHINE_AMD64):
        yield "machine", f"machine {image.machine:#x}, optional header {image.magic:#x}: neither x86 nor x64"
        return
    arch, oldest, subsystem_version = TARGETS[image.machine]
    if image.subsystem != SUBSYSTEM_WINDOWS_GUI:
        yield "GUI", f"subsystem {image.subsystem}, not the Windows GUI"
    flags = image.dll_characteristics
    if not flags & DLL_DYNAMIC_BASE:
        yield "DYNAMIC_BASE", "DYNAMIC_BASE missing: the image always loads at one address"
    if image.characteristics & FILE_RELOCS_STRIPPED or not image.directory(DIR_BASERELOC)[0]:
        yield "RELOCATIONS", "no base relocations: the loader cannot move the image"
    if image.wide and (not flags & DLL_HIGH_ENTROPY_VA or not image.characteristics & FILE_LARGE_ADDRESS_AWARE):
        yield "HIGH_ENTROPY_VA", "HIGH_ENTROPY_VA or LARGE_ADDRESS_AWARE missing: randomised below 4 GiB only"
    if not flags & DLL_NX_COMPAT:
        yield "NX_COMPAT", "NX_COMPAT missing: data pages may run as code"
    for name, _, _, _, section_flags in image.sections:
        if section_flags & SCN_MEM_WRITE and section_flags & SCN_MEM_EXECUTE:
            yield "W^X", f"section {name} is both writable and executable"
    if tuple(image.subsystem_version) > subsystem_version:
        yield "SUBSYSTEM_VERSION", (f"subsystem version {image.subsystem_version[0]}.{image.subsystem_version[1]}: "
                                    f"the loader of Windows {oldest} ({arch}) refuses it")
    if tuple(image.os_version) > subsystem_version:
        yield "OS_VERSION", f"OS version {image.os_version[0]}.{image.os_version[1]}: newer than Windows {oldest} ({arch})"
    dlls = {dll for dll, _ in image.imports()}
    foreign = sorted(dll for dll in dlls if dll.lower() not in SYSTEM_DLLS and not API_SET.fullmatch(dll.lower()))
    if foreign:
        yield "imports", "imports from DLLs that are not the system's own: " + ", ".join(foreign)
    if import_table is not None:
        for message in check_imports(image, import_table, arch, oldest):
            yield "OLDEST_WINDOWS", message
    manifests = image.resources(RT_MANIFEST)
    if not manifests:
        yield "manifest", "no embedded manifest"
    for text in manifests:
        level = re.search(rb"<(?:\w+:)?requestedExecutionLevel\b[^>]*>", text)
        if not level or b'level="asInvoker"' not in level.group(0) or b'uiAccess="false"' not in level.group(0):
            yield "manifest", "the manifest does not ask for asInvoker without UI access"


def main():
    args = sys.argv[1:]
    table = None
    if len(args) == 3 and args[1] == "--imports":
        table = read_import_table(args[2])
        args = args[:1]
    if len(args) != 1:
        sys.exit(__doc__)
    with open(args[0], "rb") as exe:
        image = Image(exe.read())
    failed = []
    for name, message in check(image, table):
        print(f"{args[0]}: {message}")
        if name not in failed:
            failed.append(name)
    print("failed: " + " ".join(failed) if failed else "all checks passed")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
