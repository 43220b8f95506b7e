#!/usr/bin/env python3
"""Writes the readers' seed corpus (one small registry per file, in the input
layout that readers_fuzz_target.cpp describes) and the fuzzer's dictionary.
Which values the readers read, and in which key, is taken from the readers'
own table in readers/fields.h. Run it again after changing the input layout;
the corpus is committed so that the fuzzer starts from the shapes a real
registry has.   usage: make_seeds.py [--corpus DIR] [--dict FILE]"""
import argparse
import re
import struct
from pathlib import Path

FIELDS_H = Path(__file__).resolve().parent.parent / "readers" / "fields.h"
REG_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 1, 3, 4, 7
CURRENT_VERSION, PRODUCT_OPTIONS = 1, 2   # bits of the first byte; a record's key is its bit - 1
BOTH_KEYS, NO_KEYS = CURRENT_VERSION | PRODUCT_OPTIONS, 0


def reader_values(header):
    """{value name: key bit} for every value a reader of `header` queries."""
    source = header.read_text()
    key_bits = {"kCurrentVersionKey": CURRENT_VERSION, "kProductOptionsKey": PRODUCT_OPTIONS}
    fields = re.findall(r'inline constexpr Field \w+\{(.*?)\};', source, re.S)
    values = {}
    for field in fields:
        key = re.search(r'&R::\w+,\s*(k\w+Key),', field)
        names = re.search(r'\{((?:"[^"]*",?\s*)+)\}', field)
        assert key and names and key.group(1) in key_bits, f"a Field this script cannot read: {field}"
        for name in re.findall(r'"([^"]*)"', names.group(1)):
            values[name] = key_bits[key.group(1)]
    assert len(fields) == source.count("&R::Get"), f"{header} changed its shape"
    return values


VALUES = reader_values(FIELDS_H)


def record(name, kind, data, key=None):
    """A value in its reader's key, unless `key` (a key bit) says otherwise."""
    key_bit = key if key is not None else VALUES[name]   # KeyError: a name no reader reads
    return bytes([key_bit - 1]) + name.encode("latin-1") + b"\0" + bytes([kind]) + struct.pack("<H", len(data)) + data


def sz(text):
    return text.encode("latin-1") + b"\0"


def multi_sz(*items):
    return b"".join(sz(i) for i in items) + b"\0"


def registry(keys, *records):
    return bytes([keys]) + b"".join(records)


FULL = [record("InstallDate", REG_DWORD, struct.pack("<I", 889261500)),
        record("RegisteredOrganization", REG_SZ, sz("Example Org")),
        record("RegisteredOwner", REG_SZ, sz("Example Owner")),
        record("CurrentBuildNumber", REG_SZ, sz("1381")),
        record("UBR", REG_DWORD, struct.pack("<I", 5247)),
        record("SystemRoot", REG_SZ, sz("C:\\WINNT")),
        record("CurrentVersion", REG_SZ, sz("4.0")),
        record("ProductName", REG_SZ, sz("Example NT")),
        record("Plus! VersionNumber", REG_SZ, sz("IE 5 6.0.2800.1106")),
        record("CSDVersion", REG_SZ, sz("Service Pack 6")),
        record("DisplayVersion", REG_SZ, sz("22H2")),
        record("ReleaseId", REG_SZ, sz("2009")),
        record("CurrentType", REG_SZ, sz("Uniprocessor Free")),
        record("SourcePath", REG_SZ, sz("D:\\I386")),
        record("ProductType", REG_SZ, sz("ServerNT")),
        record("ProductSuite", REG_MULTI_SZ, multi_sz("Enterprise"))]


def windows(product, build):
    return registry(BOTH_KEYS, record("CurrentVersion", REG_SZ, sz("6.3")),
                    record("ProductName", REG_SZ, sz(product)), record("CurrentBuildNumber", REG_SZ, build))


SEEDS = {
    "empty_keys": registry(BOTH_KEYS),
    "no_keys": registry(NO_KEYS, *FULL),
    "full": registry(BOTH_KEYS, *FULL),
    "full_without_product_options": registry(CURRENT_VERSION, *FULL),
    "full_in_the_other_keys": registry(BOTH_KEYS, *[record(n, REG_SZ, sz("elsewhere"), key=BOTH_KEYS - k)
                                                   for n, k in VALUES.items()]),
    "names_in_other_cases": registry(BOTH_KEYS, record("registeredowner", REG_SZ, sz("lower"), key=CURRENT_VERSION),
                                     record("PRODUCTTYPE", REG_SZ, sz("WinNT"), key=PRODUCT_OPTIONS)),
    "owner_255_bytes": registry(BOTH_KEYS, record("RegisteredOwner", REG_SZ, sz("a" * 254))),
    "owner_256_bytes": registry(BOTH_KEYS, record("RegisteredOwner", REG_SZ, sz("b" * 255))),
    "owner_255_bytes_no_zero": registry(BOTH_KEYS, record("RegisteredOwner", REG_SZ, b"c" * 255)),
    "owner_binary_inner_zero": registry(BOTH_KEYS, record("RegisteredOwner", REG_BINARY, b"Zo\xeb\0Ltd\x80\xff")),
    "owner_set_twice": registry(BOTH_KEYS, record("RegisteredOwner", REG_SZ, sz("first")),
                                record("RegisteredOwner", REG_SZ, sz("second"))),
    "version_only": registry(BOTH_KEYS, record("CurrentVersion", REG_SZ, sz("4.0"))),
    "texts_as_multi_sz": registry(BOTH_KEYS, *[record(n, REG_MULTI_SZ, multi_sz("first", "second")) for n in VALUES]),
    "texts_as_dword": registry(BOTH_KEYS, *[record(n, REG_DWORD, struct.pack("<I", 0x00333231)) for n in VALUES]),
    "lanman_terminal_server": registry(BOTH_KEYS, record("ProductType", REG_SZ, sz("LanmanNT")),
                                       record("ProductSuite", REG_MULTI_SZ, multi_sz("Terminal Server"))),
    # "Terminal Server" first names an edition only before Windows 2000.
    **{f"terminal_server_on_{version.replace('.', '_') or 'empty'}":
       registry(BOTH_KEYS, record("CurrentVersion", REG_SZ, sz(version)), record("ProductType", REG_SZ, sz("ServerNT")),
                record("ProductSuite", REG_MULTI_SZ, multi_sz("Terminal Server", "DataCenter")))
       for version in ("4.0", "3.51", "5.0", "6.3", "10.0", "40.1", "04", "4a", "", "4.0.1381", "5.0.4")},
    "suite_first_empty": registry(BOTH_KEYS, record("ProductType", REG_SZ, sz("WinNT")),
                                  record("ProductSuite", REG_MULTI_SZ, multi_sz("", "Enterprise"))),
    "suite_300_bytes": registry(BOTH_KEYS, record("ProductType", REG_SZ, sz("ServerNT")),
                                record("ProductSuite", REG_MULTI_SZ, multi_sz("Enterprise", "x" * 287))),
    # The build number tells Windows 11 from the "Windows 10" its product name keeps.
    "windows10_pro_19045": windows("Windows 10 Pro", sz("19045")),
    "windows10_pro_22631": windows("Windows 10 Pro", sz("22631")),
    "windows10_pro_21999": windows("Windows 10 Pro", sz("21999")),
    "windows10_pro_22000_leading_zeros": windows("Windows 10 Pro", sz("0022000")),
    "windows10_pro_build_not_digits": windows("Windows 10 Pro", sz("22631.1")),
    "windows10_pro_build_after_zero": windows("Windows 10 Pro", b"19045\x0022631"),
    "windows10_enterprise_twice": windows("Windows 10 Enterprise Windows 10", sz("26100")),
    "windows100_not_a_word": windows("Windows 100 Windows 10X  Windows 10", sz("22000")),
    "windows10_name_255_bytes_no_zero": registry(BOTH_KEYS,
                                                 record("ProductName", REG_BINARY, b"n" * 244 + b" Windows 10"),
                                                 record("CurrentBuildNumber", REG_SZ, sz("22631"))),
    "windows10_without_build": registry(BOTH_KEYS, record("ProductName", REG_SZ, sz("Windows 10"))),
    # Windows 10 and later: the build's revision, the feature update or the release in place of a service pack.
    "windows10_22h2": registry(BOTH_KEYS, record("CurrentBuildNumber", REG_SZ, sz("19045")),
                               record("UBR", REG_DWORD, struct.pack("<I", 5247)),
                               record("DisplayVersion", REG_SZ, sz("22H2")), record("ReleaseId", REG_SZ, sz("2009"))),
    "windows10_1809": registry(BOTH_KEYS, record("CurrentBuildNumber", REG_SZ, sz("17763")),
                               record("UBR", REG_DWORD, struct.pack("<I", 0xFFFFFFFF)),
                               record("ReleaseId", REG_SZ, sz("1809"))),
    "revision_without_build": registry(BOTH_KEYS, record("UBR", REG_DWORD, struct.pack("<I", 5247))),
    "revision_behind_empty_build": registry(BOTH_KEYS, record("CurrentBuildNumber", REG_SZ, b""),
                                            record("UBR", REG_BINARY, b"\x01\x00\x01")),
    "build_255_bytes_revision_5_bytes": registry(BOTH_KEYS, record("CurrentBuildNumber", REG_BINARY, b"7" * 255),
                                                 record("UBR", REG_BINARY, b"\xff" * 5)),
    "service_pack_empty_before_feature_update": registry(BOTH_KEYS, record("CSDVersion", REG_SZ, sz("")),
                                                         record("DisplayVersion", REG_SZ, sz("21H2"))),
    "feature_update_256_bytes_release_empty": registry(BOTH_KEYS, record("DisplayVersion", REG_SZ, sz("v" * 255)),
                                                       record("ReleaseId", REG_SZ, b"")),
}
for length in (0, 3, 4, 5, 8):
    SEEDS[f"date_{length}_bytes"] = registry(BOTH_KEYS, record("InstallDate", REG_BINARY, b"\xff" * length))
for count in (0, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF):
    SEEDS[f"date_{count:08x}"] = registry(BOTH_KEYS, record("InstallDate", REG_DWORD, struct.pack("<I", count)))


def dictionary():
    """Every value name as a record's start in either key, and the words the readers look for."""
    words = [bytes([bit - 1]) + name.encode("latin-1") + b"\0" for name in VALUES for bit in (1, 2)]
    words += [sz(w) for w in ("Windows 10", "22000", "22H2", "WinNT", "ServerNT", "LanmanNT", "Terminal Server",
                              "Enterprise", "4.0", "5.0")]
    escaped = ("".join(chr(c) if 0x20 <= c < 0x7F and c not in b'"\\' else f"\\x{c:02x}" for c in w) for w in words)
    return "".join(f'"{w}"\n' for w in escaped)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--corpus", type=Path, help="directory to write the seeds into")
    parser.add_argument("--dict", type=Path, help="libFuzzer dictionary to write")
    args = parser.parse_args()
    if args.corpus:
        args.corpus.mkdir(parents=True, exist_ok=True)
        for name, data in SEEDS.items():
            (args.corpus / name).write_bytes(data)
        print(f"{len(SEEDS)} seeds in {args.corpus}")
    if args.dict:
        args.dict.write_text(dictionary())


main()
