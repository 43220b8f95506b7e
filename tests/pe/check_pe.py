#!/usr/bin/env python3
"""Checks a Windows executable from its PE headers alone (read with Debian's pefile):
    check_pe.py EXE [--imports TABLE]
  - a GUI program, 64-bit (x64, PE32+) or 32-bit (x86, PE32)
  - address-space randomisation: DYNAMIC_BASE with its relocations kept;
    64-bit: HIGH_ENTROPY_VA and LARGE_ADDRESS_AWARE as well
  - no-execute: NX_COMPAT, and no section both writable and executable
  - 32-bit: no .eh_frame section; its unwinding tables serve only exceptions,
    which the programs do not have (64-bit Windows unwinds every program with
    .pdata and .xdata, so those stay)
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
import sys

try:
    import pefile
except ImportError:   # a Python of its own first on PATH (pyenv, a venv) sees none of Debian's packages
    sys.path.append("/usr/lib/python3/dist-packages")
    import pefile

MACHINE_I386, MACHINE_AMD64 = 0x14C, 0x8664
PE32, PE32_PLUS = 0x10B, 0x20B
SUBSYSTEM_WINDOWS_GUI = 2
FILE_RELOCS_STRIPPED, FILE_LARGE_ADDRESS_AWARE = 0x0001, 0x0020
DLL_HIGH_ENTROPY_VA, DLL_DYNAMIC_BASE, DLL_NX_COMPAT = 0x0020, 0x0040, 0x0100
SCN_MEM_EXECUTE, SCN_MEM_WRITE = 0x20000000, 0x80000000
DIR_BASERELOC = 5
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
    """The parts of a PE image the checks read, as Debian's pefile parses them."""

    def __init__(self, data):
        try:
            self.pe = pefile.PE(data=data, fast_load=True)
        except pefile.PEFormatError as error:
            raise ValueError(f"not a PE image: {error}") from error
        self.pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY[name] for name in (
            "IMAGE_DIRECTORY_ENTRY_IMPORT", "IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT", "IMAGE_DIRECTORY_ENTRY_RESOURCE")])
        header, optional = self.pe.FILE_HEADER, self.pe.OPTIONAL_HEADER
        self.machine, self.characteristics = header.Machine, header.Characteristics
        self.magic = optional.Magic
        self.wide = self.magic == PE32_PLUS
        self.os_version = (optional.MajorOperatingSystemVersion, optional.MinorOperatingSystemVersion)
        self.subsystem_version = (optional.MajorSubsystemVersion, optional.MinorSubsystemVersion)
        self.subsystem, self.dll_characteristics = optional.Subsystem, optional.DllCharacteristics
        # (name, RVA, size, file offset, flags) of each section.
        self.sections = [(self.section_name(data, s.Name), s.VirtualAddress,
                          max(s.Misc_VirtualSize, s.SizeOfRawData), s.PointerToRawData, s.Characteristics)
                         for s in self.pe.sections]

    def section_name(self, data, raw):
        """A section's name. One longer than the header's 8 bytes (".eh_frame") is there as "/N": N is
        its offset in the COFF string table, which follows the symbol table (GNU ld writes them so, and
        strip keeps the table for them)."""
        name = raw.rstrip(b"\0").decode(errors="replace")
        header = self.pe.FILE_HEADER
        if not re.fullmatch(r"/\d+", name) or not header.PointerToSymbolTable:
            return name
        start = header.PointerToSymbolTable + header.NumberOfSymbols * 18 + int(name[1:])
        end = data.find(b"\0", start)
        return data[start:end].decode(errors="replace") if 0 <= start < end else name

    def directory(self, index):
        """(RVA, size) of data directory `index`, (0, 0) where the header has none."""
        directories = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY
        return (directories[index].VirtualAddress, directories[index].Size) if index < len(directories) else (0, 0)

    def imports(self):
        """(DLL, function) for every import, plain and delay-loaded; '#N' for an ordinal."""
        found = []
        for entry in getattr(self.pe, "DIRECTORY_ENTRY_IMPORT", []) + getattr(self.pe, "DIRECTORY_ENTRY_DELAY_IMPORT", []):
            dll = entry.dll.decode(errors="replace")
            functions = [f.name.decode(errors="replace") if f.name else f"#{f.ordinal}" for f in entry.imports]
            found += [(dll, function) for function in functions] or [(dll, None)]
        return found

    def resources(self, type_id):
        """The data of every resource of one type, in every name and language."""
        def leaves(directory):
            for entry in directory.entries:
                if hasattr(entry, "directory"):
                    yield from leaves(entry.directory)
                elif hasattr(entry, "data"):
                    yield self.pe.get_data(entry.data.struct.OffsetToData, entry.data.struct.Size)

        root = getattr(self.pe, "DIRECTORY_ENTRY_RESOURCE", None)
        return [leaf for entry in (root.entries if root else []) if entry.id == type_id and hasattr(entry, "directory")
                for leaf in leaves(entry.directory)]


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
    if not image.wide:
        for name, _, size, _, _ in image.sections:
            if name == ".eh_frame":
                yield "EH_FRAME", f"section .eh_frame, {size} bytes of unwinding tables for exceptions"
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
