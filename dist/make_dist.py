#!/usr/bin/env python3
"""Makes Osprel's release: a zip archive holding both programs, stripped,
README.txt for Windows users and the licence, beside SHA256SUMS for the
archive, the programs and the licence. The same programs give the same bytes,
whenever and wherever this runs: fixed names, order, times and attributes in
the archive.

    make_dist.py OUT_DIR X64_EXE X86_EXE
        [--sign-pkcs12 FILE --sign-password-file FILE [--sign-timestamp-url URL]
         [--sign-timeout SECONDS]]
        [--release-url URL]

OUT_DIR is made anew; a symbolic link or a file there is refused, never
followed. If anything fails or the run is interrupted, OUT_DIR is removed:
there is a whole release or none.

With a certificate (a PKCS#12 file and a file whose first line is its
password) both programs are signed with Authenticode, SHA-256, by osslsigncode
before they are archived and summed; with a time-stamping server (RFC 3161)
the signatures carry its time stamp. Signing one program, the server's answer
included, may take SIGN_TIMEOUT seconds (60 unless given). osslsigncode reads
the key and the password from the files named; neither is copied anywhere nor
printed.

With the address the release will be published at (the folder that will hold
the archive), OUT_DIR/winget/ receives a winget manifest of the archive; the
archive's address may be as long as winget takes, 2048 characters.

Every name, number and text comes from the resource script's version block,
but the licence's name, which is the first line of LICENSE ("MIT License")."""
import argparse
import hashlib
import locale
import os
import re
import shutil
import signal
import subprocess
import sys
import urllib.parse
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STRIP = {"x64": "x86_64-w64-mingw32-strip", "x86": "i686-w64-mingw32-strip"}
PROGRAM = "Osprel.exe"
PROGRAM_NAME = os.path.basename(__file__)
# The archive's own time for every entry: the oldest a zip file can say.
ZIP_TIME = (1980, 1, 1, 0, 0, 0)
# The manifest schema the winget manifest is written for.
MANIFEST_VERSION = "1.9.0"
# The longest installer address (InstallerUrl) that schema takes.
INSTALLER_URL_MAX = 2048
# How long signing one program may take, the time-stamp server's answer
# included, unless told otherwise; and the longest that may be asked for.
SIGN_TIMEOUT = 60
SIGN_TIMEOUT_MAX = 600
# What a web address may hold (RFC 3986): letters, digits, -._~, the
# delimiters :/?#[]@!$&'()*+,;= and % with two hexadecimal digits.
URL_CHARACTER = r"[A-Za-z0-9\-._~:/?#\[\]@!$&'()*+,;=]|%[0-9A-Fa-f]{2}"
INTERRUPTIONS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


class Failure(Exception):
    """A step of the release that could not be done, with the one message
    that says why."""


class Interrupted(BaseException):
    """The run was stopped by a signal (Ctrl+C, TERM, a closed terminal)."""

    def __init__(self, number):
        super().__init__(signal.Signals(number).name)
        self.number = number


def interrupted(number, _frame):
    raise Interrupted(number)


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
            raise Failure(f"{path}: {error}") from None
        match = re.fullmatch(r"(\S+) License", lines[0] if lines else "")
        if not match:
            raise Failure(f"{path}: its first line must name the licence, as in 'MIT License'")
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


def sign(unsigned, path, args, info):
    """Signs the program UNSIGNED into PATH. The signed program takes its
    name only once it is whole: osslsigncode writes a file of its own
    beside it. osslsigncode's messages are shown only when it fails; they
    name files, never the password."""
    signing = path + ".signing"
    # Whole paths: "-readpass -" would read the password from the input.
    command = ["osslsigncode", "sign", "-pkcs12", os.path.abspath(args.sign_pkcs12),
               "-readpass", os.path.abspath(args.sign_password_file),
               "-h", "sha256", "-n", info.strings["FileDescription"], "-i", info.strings["Comments"]]
    if args.sign_timestamp_url:
        command += ["-ts", args.sign_timestamp_url]
    try:
        result = subprocess.run(command + ["-in", unsigned, "-out", signing], stdin=subprocess.DEVNULL,
                                capture_output=True, text=True, check=False, timeout=args.sign_timeout)
    except FileNotFoundError:
        raise Failure("signing needs osslsigncode: scripts/install-deps.sh installs it") from None
    except subprocess.TimeoutExpired as expired:
        said = b"".join(filter(None, (expired.stdout, expired.stderr))).decode(errors="replace")
        waited = f"did not answer within {args.sign_timeout} seconds (SIGN_TIMEOUT)"
        what = (f"the time-stamp server {args.sign_timestamp_url} {waited}" if args.sign_timestamp_url
                else f"osslsigncode did not finish within {args.sign_timeout} seconds (SIGN_TIMEOUT)")
        raise Failure(f"could not sign {path}: {what}\n{said}".rstrip()) from None
    if result.returncode:
        raise Failure(f"osslsigncode could not sign {path}:\n{result.stdout}{result.stderr}".rstrip())
    os.replace(signing, path)


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


def archive_name_of(info):
    return f"{info.strings['InternalName']}-{info.version}.zip"


def installer_url(release_url, archive_name):
    """The address the archive will be downloaded from: the release's folder and its name."""
    return release_url.rstrip("/") + "/" + archive_name


def winget_manifest(out, info, licence, archive_name, arches, release_url):
    """The multi-file manifest (version, installer, default locale) of a
    portable program in a zip: one installer per processor, each naming its
    program inside the archive, all with the archive's address and hash."""
    name = info.strings["InternalName"]
    head = {"PackageIdentifier": f"{name}.{name}", "PackageVersion": info.version}
    tail = {"ManifestVersion": MANIFEST_VERSION}
    url = installer_url(release_url, archive_name)
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
    """TEXT, when it is a whole http(s) address of characters an address may
    hold, and otherwise the reason it is not."""
    if not re.fullmatch(r"https?://[^/?#]+.*", text, re.S):
        raise argparse.ArgumentTypeError(f"{text!r} is not an http:// or https:// address")
    wrong = next((c for c in re.sub(URL_CHARACTER, "", text)), None)
    if wrong == "%":
        raise argparse.ArgumentTypeError(f"{text!r} holds a % without two hexadecimal digits after it")
    if wrong is not None:
        raise argparse.ArgumentTypeError(f"{text!r} holds {wrong!r}, which a web address cannot hold: "
                                         f"write it as {urllib.parse.quote(wrong)}")
    if "#" in text:
        raise argparse.ArgumentTypeError(f"{text!r} holds a fragment (#...), which is never sent to a server")
    return text


def folder_address(text):
    """A web address the archive's name can be added to: no query, no fragment."""
    web_address(text)
    if "?" in text:
        raise argparse.ArgumentTypeError(f"{text!r} holds a query (?...): the release address names the "
                                         "folder the archive's name is added to")
    return text


def seconds(text):
    if not re.fullmatch(r"[0-9]+", text) or not 1 <= int(text) <= SIGN_TIMEOUT_MAX:
        raise argparse.ArgumentTypeError(f"{text!r} is not a whole number of seconds from 1 to {SIGN_TIMEOUT_MAX}")
    return int(text)


def parse_arguments(archive_name):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     usage=__doc__.split("\n\n")[1].strip())
    parser.add_argument("out")
    parser.add_argument("x64")
    parser.add_argument("x86")
    parser.add_argument("--sign-pkcs12")
    parser.add_argument("--sign-password-file")
    parser.add_argument("--sign-timestamp-url", type=web_address)
    parser.add_argument("--sign-timeout", type=seconds)
    parser.add_argument("--release-url", type=folder_address)
    args = parser.parse_args()
    signing = [args.sign_pkcs12, args.sign_password_file]
    if any(signing) and not all(signing):
        parser.error("signing needs both SIGN_PKCS12 and SIGN_PASSWORD_FILE")
    if args.sign_timestamp_url and not args.sign_pkcs12:
        parser.error("SIGN_TIMESTAMP_URL is for a signed release: name SIGN_PKCS12 and SIGN_PASSWORD_FILE too")
    if args.release_url:
        url = installer_url(args.release_url, archive_name)
        if len(url) > INSTALLER_URL_MAX:
            parser.error(f"RELEASE_URL makes the archive's address {url[:40]}... {len(url)} characters long, "
                         f"beyond the {INSTALLER_URL_MAX} that winget takes for an installer's address: "
                         "name a shorter folder")
    # A limit alone asks for nothing: it stays unused.
    args.sign_timeout = args.sign_timeout or SIGN_TIMEOUT
    # The release's folder is made anew: a link there would have its target
    # emptied or written into, a file would be lost.
    if os.path.islink(args.out):
        parser.error(f"{args.out} is a symbolic link (to {os.readlink(args.out)}): the release is written "
                     "only into a folder of its own; remove the link (its target is left as it is)")
    if os.path.lexists(args.out) and not os.path.isdir(args.out):
        parser.error(f"{args.out} is not a folder: move it away first")
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


def release(args, info, licence):
    out, programs = args.out, {"x64": args.x64, "x86": args.x86}
    if os.path.isdir(out):
        shutil.rmtree(out)
    # strip writes the time it runs into the PE header unless it is given a
    # time: zero, as the linker left it.
    strip_env = dict(os.environ, SOURCE_DATE_EPOCH="0")
    for arch, exe in programs.items():
        os.makedirs(os.path.join(out, arch))
        program = os.path.join(out, arch, PROGRAM)
        stripped = program + ".stripped"
        try:
            subprocess.run([STRIP[arch], "-o", stripped, exe], check=True, env=strip_env)
        except (OSError, subprocess.CalledProcessError) as error:
            raise Failure(f"could not strip {exe}: {error}") from None
        if args.sign_pkcs12:
            sign(stripped, program, args, info)
            os.remove(stripped)
            print(f"Signed {arch}/{PROGRAM}")
        else:
            os.replace(stripped, program)

    with open(os.path.join(out, "LICENSE"), "wb") as f:
        f.write(licence.text)
    archive_name = archive_name_of(info)
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
        print(f"{os.path.join(out, 'winget')}: the winget manifest of {installer_url(args.release_url, archive_name)}")


def main():
    try:
        info = VersionBlock.read()
        licence = Licence()
    except Failure as error:
        sys.exit(f"{PROGRAM_NAME}: {error}")
    args = parse_arguments(archive_name_of(info))
    # A signal the caller ignores (nohup, a background job) stays ignored.
    for number in INTERRUPTIONS:
        if signal.getsignal(number) != signal.SIG_IGN:
            signal.signal(number, interrupted)
    try:
        release(args, info, licence)
    except BaseException as error:
        # No release at all rather than half of one, or one with a program
        # unsigned; a second Ctrl+C does not stop the clearing up.
        for number in INTERRUPTIONS:
            signal.signal(number, signal.SIG_IGN)
        shutil.rmtree(args.out, ignore_errors=True)
        gone = f"{args.out} removed, no release made"
        if isinstance(error, Interrupted):
            print(f"{PROGRAM_NAME}: interrupted ({error}): {gone}", file=sys.stderr)
            sys.exit(128 + error.number)
        if isinstance(error, (Failure, OSError)):
            sys.exit(f"{PROGRAM_NAME}: {error}\n{gone}")
        raise


if __name__ == "__main__":
    main()
