#!/usr/bin/env python3
"""Makes Osprel's release: a zip archive holding both programs, stripped,
README.txt for Windows users and the licence, beside SHA256SUMS for the
archive, the programs and the licence. The same programs give the same bytes,
whenever and wherever this runs: fixed names, order, times and attributes in
the archive.

    make_dist.py OUT_DIR X64_EXE X86_EXE
        [--sign-pkcs12 FILE --sign-password-file FILE [--sign-timestamp-url URL]]
        [--release-url URL]

With a certificate (a PKCS#12 file and a file whose first line is its
password) both programs are signed with Authenticode, SHA-256, by osslsigncode
before they are archived and summed; with a time-stamping server (RFC 3161)
the signatures carry its time stamp. osslsigncode reads the key and the
password from the files named; neither is copied anywhere nor printed.

With the address the release will be published at (the folder that will hold
the archive), OUT_DIR/winget/ receives a winget manifest of the archive.

Every name, number and text comes from the resource script's version block,
but the licence's name, which is the first line of LICENSE ("MIT License")."""
import argparse
import hashlib
import locale
import os
import re
import shutil
import subprocess
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STRIP = {"x64": "x86_64-w64-mingw32-strip", "x86": "i686-w64-mingw32-strip"}
PROGRAM = "Osprel.exe"
# The archive's own time for every entry: the oldest a zip file can say.
ZIP_TIME = (1980, 1, 1, 0, 0, 0)
# The manifest schema the winget manifest is written for.
MANIFEST_VERSION = "1.9.0"


class VersionBlock:
    """What the resource script's version block says: the release's number
    ('1.5' for FILEVERSION 1, 5, 0, 0, trailing zeros dropped), its strings
    ({'CompanyName': ..., ...}) and the language of those strings ('en-US')."""

    def __init__(self, script):
        block = script[script.index("VS_VERSION_INFO VERSIONINFO"):]
        parts = list(re.search(r"^FILEVERSION\s+(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", block, re.M).groups())
        while len(parts) > 2 and parts[-1] == "0":
            parts.pop()
        self.version = ".".join(parts)
        self.strings = dict(re.findall(r'^\s*VALUE\s+"(\w+)",\s*"([^"]*)"', block, re.M))
        language = int(re.search(r'VALUE\s+"Translation",\s*(0x[0-9A-Fa-f]+)', block).group(1), 16)
        self.locale = locale.windows_locale[language].replace("_", "-")

    @classmethod
    def read(cls):
        with open(os.path.join(ROOT, "res", "osprel.rc"), encoding="ascii") as rc:
            return cls(rc.read())


class Licence:
    """The licence in LICENSE: its name as the manifest gives it ('MIT' for
    a first line 'MIT License') and its text as the archive holds it."""

    def __init__(self):
        path = os.path.join(ROOT, "LICENSE")
        try:
            with open(path, encoding="ascii") as text:
                lines = text.read().splitlines()
        except (OSError, UnicodeDecodeError) as error:
            sys.exit(f"{path}: {error}")
        match = re.fullmatch(r"(\S+) License", lines[0] if lines else "")
        if not match:
            sys.exit(f"{path}: its first line must name the licence, as in 'MIT License'")
        self.name = match.group(1)
        self.text = crlf(lines)


def crlf(lines):
    # Notepad on older Windows shows one long line without carriage returns.
    return "".join(line + "\r\n" for line in lines).encode("ascii")


def readme(release):
    with open(os.path.join(ROOT, "dist", "README.txt"), encoding="ascii") as text:
        return crlf(text.read().replace("@VERSION@", release).splitlines())


def add(archive, name, data):
    entry = zipfile.ZipInfo(name, ZIP_TIME)
    entry.compress_type = zipfile.ZIP_DEFLATED
    entry.create_system = 0          # MS-DOS: plain files, no Unix owner or mode
    entry.external_attr = 0x20       # FILE_ATTRIBUTE_ARCHIVE, as Windows writes it
    archive.writestr(entry, data, compresslevel=9)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def sign(path, args, info):
    """Signs the program at PATH in place. osslsigncode's messages are shown
    only when it fails; they name files, never the password."""
    unsigned = path + ".unsigned"
    os.replace(path, unsigned)
    command = ["osslsigncode", "sign", "-pkcs12", args.sign_pkcs12, "-readpass", args.sign_password_file,
               "-h", "sha256", "-n", info.strings["FileDescription"], "-i", info.strings["Comments"]]
    if args.sign_timestamp_url:
        command += ["-ts", args.sign_timestamp_url]
    try:
        result = subprocess.run(command + ["-in", unsigned, "-out", path],
                                stdin=subprocess.DEVNULL, capture_output=True, text=True, check=False)
    except FileNotFoundError:
        raise RuntimeError("signing needs osslsigncode: scripts/install-deps.sh installs it") from None
    finally:
        os.remove(unsigned)
    if result.returncode:
        raise RuntimeError(f"osslsigncode could not sign {path}:\n{result.stdout}{result.stderr}")


def yaml_text(text):
    """TEXT as a YAML scalar in single quotes, where only a quote is special."""
    if not text.isprintable():
        raise ValueError(f"{text!r}: a manifest value must be one line of printable text")
    return "'" + text.replace("'", "''") + "'"


def yaml_lines(mapping, indent=""):
    """A mapping of texts, mappings and lists of mappings, in block style."""
    for key, value in mapping.items():
        if isinstance(value, str):
            yield f"{indent}{key}: {yaml_text(value)}"
        elif isinstance(value, dict):
            yield f"{indent}{key}:"
            yield from yaml_lines(value, indent + "  ")
        else:
            yield f"{indent}{key}:"
            for item in value:
                lines = list(yaml_lines(item, indent + "  "))
                yield indent + "- " + lines[0][len(indent) + 2:]
                yield from lines[1:]


def winget_manifest(out, info, licence, archive_name, arches, release_url):
    """The multi-file manifest (version, installer, default locale) of a
    portable program in a zip: one installer per processor, each naming its
    program inside the archive, all with the archive's address and hash."""
    name = info.strings["InternalName"]
    head = {"PackageIdentifier": f"{name}.{name}", "PackageVersion": info.version}
    tail = {"ManifestVersion": MANIFEST_VERSION}
    url = release_url.rstrip("/") + "/" + archive_name
    digest = sha256(os.path.join(out, archive_name)).upper()
    installers = [{"Architecture": arch,
                   "NestedInstallerFiles": [{"RelativeFilePath": f"{arch}\\{PROGRAM}",
                                             "PortableCommandAlias": name.lower()}],
                   "InstallerUrl": url,
                   "InstallerSha256": digest} for arch in arches]
    files = {
        "": {**head, "DefaultLocale": info.locale, "ManifestType": "version"},
        ".installer": {**head, "InstallerType": "zip", "NestedInstallerType": "portable",
                       "Installers": installers, "ManifestType": "installer"},
        f".locale.{info.locale}": {
            **head, "PackageLocale": info.locale, "Publisher": info.strings["CompanyName"],
            "PublisherUrl": info.strings["Comments"], "PackageName": name,
            "PackageUrl": info.strings["Comments"],
            "License": licence.name, "Copyright": info.strings["LegalCopyright"],
            "ShortDescription": info.strings["FileDescription"], "Moniker": name.lower(),
            "ManifestType": "defaultLocale"},
    }
    folder = os.path.join(out, "winget")
    os.makedirs(folder)
    for suffix, manifest in files.items():
        with open(os.path.join(folder, f"{head['PackageIdentifier']}{suffix}.yaml"), "w",
                  encoding="utf-8", newline="\n") as f:
            f.writelines(line + "\n" for line in yaml_lines({**manifest, **tail}))


def web_address(text):
    if not re.fullmatch(r"https?://[^\s/]+(/\S*)?", text):
        raise argparse.ArgumentTypeError(f"{text!r} is not an http:// or https:// address")
    return text


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     usage=__doc__.split("\n\n")[1].strip())
    parser.add_argument("out")
    parser.add_argument("x64")
    parser.add_argument("x86")
    parser.add_argument("--sign-pkcs12")
    parser.add_argument("--sign-password-file")
    parser.add_argument("--sign-timestamp-url", type=web_address)
    parser.add_argument("--release-url", type=web_address)
    args = parser.parse_args()
    signing = [args.sign_pkcs12, args.sign_password_file]
    if any(signing) and not all(signing):
        parser.error("signing needs both SIGN_PKCS12 and SIGN_PASSWORD_FILE")
    if args.sign_timestamp_url and not args.sign_pkcs12:
        parser.error("SIGN_TIMESTAMP_URL is for a signed release: name SIGN_PKCS12 and SIGN_PASSWORD_FILE too")
    # The release's folder is deleted first and `make clean` deletes build/:
    # a key kept there would be lost, or end up beside the release.
    build = os.path.realpath(os.path.join(ROOT, "build"))
    for path in filter(None, signing):
        if not os.path.isfile(path):
            parser.error(f"{path}: no such file")
        real = os.path.realpath(path)
        for folder in (build, os.path.realpath(args.out)):
            if os.path.commonpath([real, folder]) == folder:
                parser.error(f"{path} lies in {folder}, which builds delete: keep keys outside it")
    return args


def main():
    args = parse_arguments()
    out, programs = args.out, {"x64": args.x64, "x86": args.x86}
    info = VersionBlock.read()
    licence = Licence()
    shutil.rmtree(out, ignore_errors=True)
    # strip writes the time it runs into the PE header unless it is given a
    # time: zero, as the linker left it.
    strip_env = dict(os.environ, SOURCE_DATE_EPOCH="0")
    for arch, exe in programs.items():
        os.makedirs(os.path.join(out, arch))
        stripped = os.path.join(out, arch, PROGRAM)
        subprocess.run([STRIP[arch], "-o", stripped, exe], check=True, env=strip_env)
        if args.sign_pkcs12:
            try:
                sign(stripped, args, info)
            except RuntimeError as error:
                # No release at all rather than one with a program unsigned.
                shutil.rmtree(out)
                sys.exit(str(error))
            print(f"Signed {arch}/{PROGRAM}")

    with open(os.path.join(out, "LICENSE"), "wb") as f:
        f.write(licence.text)
    archive_name = f"{info.strings['InternalName']}-{info.version}.zip"
    with zipfile.ZipFile(os.path.join(out, archive_name), "w") as archive:
        add(archive, "README.txt", readme(info.version))
        add(archive, "LICENSE", licence.text)
        for arch in programs:
            with open(os.path.join(out, arch, PROGRAM), "rb") as exe:
                add(archive, f"{arch}/{PROGRAM}", exe.read())

    files = [archive_name, "LICENSE"] + [f"{arch}/{PROGRAM}" for arch in programs]
    with open(os.path.join(out, "SHA256SUMS"), "w", encoding="ascii", newline="\n") as sums:
        sums.writelines(f"{sha256(os.path.join(out, name))}  {name}\n" for name in files)
    print(f"{os.path.join(out, archive_name)} and SHA256SUMS")
    if args.release_url:
        winget_manifest(out, info, licence, archive_name, programs, args.release_url)
        print(f"{os.path.join(out, 'winget')}: the winget manifest of {args.release_url.rstrip('/')}/{archive_name}")


if __name__ == "__main__":
    main()
