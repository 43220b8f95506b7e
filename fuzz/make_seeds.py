#!/usr/bin/env python3
"""Writes the readers' seed corpus: one small registry per file, in the input
layout that readers_fuzz_target.cpp describes. Run it again after changing
that layout; the files are committed so that the fuzzer starts from the
shapes a real registry has.   usage: make_seeds.py DIR"""
import struct
import sys
from pathlib import Path

NAMES = ["InstallDate", "RegisteredOrganization", "RegisteredOwner", "CurrentBuildNumber", "SystemRoot",
         "CurrentVersion", "ProductName", "Plus! VersionNumber", "CSDVersion", "CurrentType", "SourcePath",
         "ProductType", "ProductSuite"]
REG_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_QWORD = 1, 3, 4, 7, 11
BOTH_KEYS, NO_KEYS, ONLY_CURRENT_VERSION = 3, 0, 1


def value(name, kind, data):
    return bytes([NAMES.index(name), kind]) + struct.pack("<H", len(data)) + data


def sz(text):
    return text.encode("latin-1") + b"\0"


def multi_sz(*items):
    return b"".join(sz(i) for i in items) + b"\0"


def registry(keys, *values):
    return bytes([keys]) + b"".join(values)


FULL = [value("InstallDate", REG_DWORD, struct.pack("<I", 889261500)),
        value("RegisteredOrganization", REG_SZ, sz("Example Org")),
        value("RegisteredOwner", REG_SZ, sz("Example Owner")),
        value("CurrentBuildNumber", REG_SZ, sz("1381")),
        value("SystemRoot", REG_SZ, sz("C:\\WINNT")),
        value("CurrentVersion", REG_SZ, sz("4.0")),
        value("ProductName", REG_SZ, sz("Example NT")),
        value("Plus! VersionNumber", REG_SZ, sz("IE 5 6.0.2800.1106")),
        value("CSDVersion", REG_SZ, sz("Service Pack 6")),
        value("CurrentType", REG_SZ, sz("Uniprocessor Free")),
        value("SourcePath", REG_SZ, sz("D:\\I386")),
        value("ProductType", REG_SZ, sz("ServerNT")),
        value("ProductSuite", REG_MULTI_SZ, multi_sz("Enterprise"))]

SEEDS = {
    "empty_keys": registry(BOTH_KEYS),
    "no_keys": registry(NO_KEYS, *FULL),
    "full": registry(BOTH_KEYS, *FULL),
    "full_without_product_options": registry(ONLY_CURRENT_VERSION, *FULL),
    "owner_255_bytes": registry(BOTH_KEYS, value("RegisteredOwner", REG_SZ, sz("a" * 254))),
    "owner_256_bytes": registry(BOTH_KEYS, value("RegisteredOwner", REG_SZ, sz("b" * 255))),
    "owner_binary_inner_zero": registry(BOTH_KEYS, value("RegisteredOwner", REG_BINARY, b"Zo\xeb\0Ltd\x80\xff")),
    "version_only": registry(BOTH_KEYS, value("CurrentVersion", REG_SZ, sz("4.0"))),
    "texts_as_multi_sz": registry(BOTH_KEYS, *[value(n, REG_MULTI_SZ, multi_sz("first", "second"))
                                               for n in NAMES]),
    "texts_as_dword": registry(BOTH_KEYS, *[value(n, REG_DWORD, struct.pack("<I", 0x00333231)) for n in NAMES]),
    "lanman_terminal_server": registry(BOTH_KEYS, value("ProductType", REG_SZ, sz("LanmanNT")),
                                       value("ProductSuite", REG_MULTI_SZ, multi_sz("Terminal Server"))),
    "suite_first_empty": registry(BOTH_KEYS, value("ProductType", REG_SZ, sz("WinNT")),
                                  value("ProductSuite", REG_MULTI_SZ, multi_sz("", "Enterprise"))),
    "suite_300_bytes": registry(BOTH_KEYS, value("ProductType", REG_SZ, sz("ServerNT")),
                                value("ProductSuite", REG_MULTI_SZ, multi_sz("Enterprise", "x" * 287))),
}
for length in (0, 3, 4, 5, 8):
    SEEDS[f"date_{length}_bytes"] = registry(BOTH_KEYS, value("InstallDate", REG_BINARY, b"\xff" * length))
for count in (0, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF):
    SEEDS[f"date_{count:08x}"] = registry(BOTH_KEYS, value("InstallDate", REG_DWORD, struct.pack("<I", count)))

out = Path(sys.argv[1])
out.mkdir(parents=True, exist_ok=True)
for name, data in SEEDS.items():
    (out / name).write_bytes(data)
print(f"{len(SEEDS)} seeds in {out}")
