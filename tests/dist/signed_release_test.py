#!/usr/bin/env python3
"""The release as a maintainer with a certificate makes it and a user checks it.
    signed_release_test.py X64_EXE X86_EXE   (tools/show_rows.exe beside X64_EXE)
At test time openssl makes a throwaway certificate authority, a code-signing
certificate and a time-stamping authority (served on the loopback address)
issued by it, and a second authority that issued nothing. `make dist` signs
the release with a PKCS#12 file and a password file kept outside the build
tree, in a folder whose name holds a quote, a space, a $ and a backslash, and
writes the winget manifest of an address holding a quote and a $. Then:
  - both programs verify against the authority, with the time stamp, and
    against no other; a program changed by one byte fails
  - the signed programs pass the PE checks and show their rows under Wine
  - the archive holds the licence beside the programs; the sums cover it
  - neither the password nor the key is in the release or the log
  - the manifest files parse as YAML, hold what the schema requires, agree
    with the programs' version block and the licence, and hash the archive
  - what cannot be used is refused before anything is written; a signing
    that fails, waits too long or is interrupted leaves no release."""
import hashlib
import http.server
import os
import secrets
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zipfile

import yaml

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "pe"))
import check_pe  # noqa: E402

MAKE_DIST = os.path.join(ROOT, "dist", "make_dist.py")
WINE_RUN = os.path.join(ROOT, "cmake", "wine-run.sh")
ARCHES = ("x64", "x86")
# A quote and a $ belong in an address; make and the shell leave both alone.
RELEASE_URL = "https://osprel.invalid/releases/$name/it's/"
# What `make dist` hands to make_dist.py, which the caller's make and
# environment must not name for the runs here.
MAKE_VARIABLES = ("MAKEFLAGS", "MFLAGS", "MAKELEVEL", "MAKEOVERRIDES", "SIGN_PKCS12", "SIGN_PASSWORD_FILE",
                  "SIGN_TIMESTAMP_URL", "SIGN_TIMEOUT", "RELEASE_URL")
RT_VERSION = 16

OPENSSL_CONFIG = """
[req]
distinguished_name = dn
[dn]
[authority]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[code_signing]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[time_stamping]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[tsa]
default_tsa = throwaway
[throwaway]
serial = tsa.serial
signer_cert = tsa.pem
signer_key = tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256
ess_cert_id_alg = sha256
"""

# What the manifest schema requires of each file, and the form of what they
# hold ('...' for any text of that length; lists of mappings by their key).
PACKAGE = {"PackageIdentifier": r"[^.\s\\/:*?\"<>|]{1,32}(\.[^.\s\\/:*?\"<>|]{1,32}){1,7}",
           "PackageVersion": r"[^\\/:*?\"<>|\x01-\x1f]{1,128}",
           "ManifestVersion": r"(0|[1-9][0-9]{0,3})\.(0|[1-9][0-9]{0,3})\.(0|[1-9][0-9]{0,3})"}
LOCALE = r"([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*"
REQUIRED = {
    "version": {**PACKAGE, "DefaultLocale": LOCALE, "ManifestType": "version"},
    "installer": {**PACKAGE, "ManifestType": "installer", "Installers": None},
    "defaultLocale": {**PACKAGE, "PackageLocale": LOCALE, "Publisher": ".{2,256}", "PackageName": ".{2,256}",
                      "License": ".{3,512}", "ShortDescription": ".{3,256}", "ManifestType": "defaultLocale"},
}
INSTALLER_URL_MAX = 2048
INSTALLER = {"Architecture": "x64|x86|arm|arm64|neutral",
             "InstallerUrl": rf"(?=.{{1,{INSTALLER_URL_MAX}}}$)[Hh][Tt][Tt][Pp][Ss]?://.+",
             "InstallerSha256": "[A-Fa-f0-9]{64}"}
NESTED_FILE = {"RelativeFilePath": ".{1,512}", "PortableCommandAlias": ".{1,40}"}


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, check=False, **options)


def openssl(work, *args):
    result = run("openssl", *args, cwd=work)
    if result.returncode:
        raise RuntimeError(f"openssl {' '.join(args)}:\n{result.stderr}")


def write_config(work):
    with open(os.path.join(work, "openssl.cnf"), "w", encoding="ascii") as f:
        f.write(OPENSSL_CONFIG)


def issue(work, name, subject, extensions, authority="ca"):
    """NAME.key and NAME.pem, a certificate for SUBJECT issued by AUTHORITY
    (itself when AUTHORITY is NAME)."""
    common = ["-newkey", "rsa:2048", "-noenc", "-keyout", f"{name}.key", "-subj", f"/CN={subject}",
              "-config", "openssl.cnf"]
    if authority == name:
        openssl(work, "req", "-x509", *common, "-out", f"{name}.pem", "-days", "2", "-extensions", extensions)
        return
    openssl(work, "req", "-new", *common, "-out", f"{name}.csr")
    openssl(work, "x509", "-req", "-in", f"{name}.csr", "-CA", f"{authority}.pem", "-CAkey", f"{authority}.key",
            "-CAcreateserial", "-out", f"{name}.pem", "-days", "2", "-extfile", "openssl.cnf",
            "-extensions", extensions)


class TimeStampServer(http.server.ThreadingHTTPServer):
    """An RFC 3161 time-stamping authority on the loopback address: each
    request is answered by `openssl ts -reply` with the throwaway TSA."""

    def __init__(self, work):
        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                query = self.rfile.read(int(self.headers["Content-Length"]))
                reply = subprocess.run(["openssl", "ts", "-reply", "-config", "openssl.cnf", "-queryfile",
                                        "/dev/stdin", "-out", "/dev/stdout"], input=query, cwd=work,
                                       capture_output=True, check=True).stdout
                self.send_response(200)
                self.send_header("Content-Type", "application/timestamp-reply")
                self.send_header("Content-Length", str(len(reply)))
                self.end_headers()
                self.wfile.write(reply)

            def log_message(self, *_):
                pass

        super().__init__(("127.0.0.1", 0), Handler)
        self.url = f"http://127.0.0.1:{self.server_port}/"
        threading.Thread(target=self.serve_forever, daemon=True).start()


class SilentServer:
    """A server on the loopback address that takes every connection and
    never answers; ACCEPTED is set once one has come."""

    def __init__(self):
        self.socket = socket.create_server(("127.0.0.1", 0))
        self.url = f"http://127.0.0.1:{self.socket.getsockname()[1]}/"
        self.accepted = threading.Event()
        self.held = []
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                self.held.append(self.socket.accept()[0])
            except OSError:
                return
            self.accepted.set()

    def close(self):
        for connection in [self.socket, *self.held]:
            connection.close()


def stop_group(process):
    """Kills what is left of PROCESS's group, if anything."""
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()


def clear(path):
    """Removes what is at PATH: a link itself, not its target."""
    if os.path.islink(path) or os.path.isfile(path):
        os.remove(path)
    elif os.path.isdir(path):
        shutil.rmtree(path)


def source_tree(work):
    """A tree `make dist` runs in as in the source tree (its Makefile, dist/,
    res/ and LICENSE), with both programs where `make` leaves them."""
    tree = os.path.join(work, "tree")
    for arch, folder in (("x64", "win64"), ("x86", "win32")):
        os.makedirs(os.path.join(tree, "build", folder))
        os.symlink(PROGRAMS[arch], os.path.join(tree, "build", folder, "Osprel.exe"))
    for name in ("Makefile", "dist", "res", "LICENSE"):
        os.symlink(os.path.join(ROOT, name), os.path.join(tree, name))
    return tree


def make_dist_in(tree, **variables):
    """`make dist` in TREE with VARIABLES on its command line; the programs
    are taken as they are (-o build)."""
    env = {k: v for k, v in os.environ.items() if k not in MAKE_VARIABLES}
    return run("make", "-o", "build", "dist", *(f"{k}={v}" for k, v in variables.items()), cwd=tree, env=env)


def version_block(program):
    """{'CompanyName': ..., ...} and (major, minor, build, revision) from a program's version resource."""
    with open(program, "rb") as f:
        block = check_pe.Image(f.read()).resources(RT_VERSION)[0]
    strings = {}

    def node(at, depth):
        length, value_length, kind = struct.unpack_from("<HHH", block, at)
        end = at + 6
        while block[end:end + 2] != b"\0\0":
            end += 2
        key = block[at + 6:end].decode("utf-16-le")
        value_at = (end + 2 + 3) & ~3
        value_size = value_length * 2 if kind == 1 else value_length
        if depth == 3:
            strings[key] = block[value_at:value_at + value_size].decode("utf-16-le").rstrip("\0")
        child = (value_at + value_size + 3) & ~3
        while child < at + length:
            child = (node(child, depth + 1) + 3) & ~3
        return at + length

    node(0, 0)
    ms, ls = struct.unpack_from("<II", block, block.index(b"\xbd\x04\xef\xfe") + 8)
    return strings, (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def release_version(numbers):
    """'1.5' for a version resource's (1, 5, 0, 0): trailing zeros dropped, two numbers kept."""
    version = list(numbers)
    while len(version) > 2 and version[-1] == 0:
        version.pop()
    return ".".join(map(str, version))


def release_url_for(length):
    """A release folder's address that makes the archive's address LENGTH characters long."""
    strings, numbers = version_block(PROGRAMS["x64"])
    archive = f"{strings['InternalName']}-{release_version(numbers)}.zip"
    web = "https://osprel.invalid/releases/"
    return web + "v" * (length - len(web) - len("/" + archive)) + "/"


class SignedRelease(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="osprel-signing-")
        cls.addClassCleanup(shutil.rmtree, cls.work)
        work = cls.work
        write_config(work)
        with open(os.path.join(work, "tsa.serial"), "w", encoding="ascii") as f:
            f.write("01\n")
        issue(work, "ca", "Throwaway test authority", "authority", authority="ca")
        issue(work, "other", "Another test authority", "authority", authority="other")
        issue(work, "signer", "Osprel test signer", "code_signing")
        issue(work, "tsa", "Throwaway time stamps", "time_stamping")
        # A password with a space and a quote, as the first line of its file;
        # both files in a folder that make and the shell would mangle.
        cls.password = f"test pass'{secrets.token_hex(8)}"
        keys = os.path.join(work, "keys it's $HOME \\ here")
        os.mkdir(keys)
        cls.password_file = os.path.join(keys, "password.txt")
        with open(cls.password_file, "w", encoding="ascii") as f:
            f.write(cls.password + "\n")
        cls.pkcs12 = os.path.join(keys, "signer.p12")
        openssl(work, "pkcs12", "-export", "-in", "signer.pem", "-inkey", "signer.key", "-out", cls.pkcs12,
                "-passout", f"file:{cls.password_file}")
        openssl(work, "pkey", "-in", "signer.key", "-outform", "DER", "-out", "signer.der")
        with open(os.path.join(work, "signer.der"), "rb") as f:
            cls.key = f.read()
        cls.tsa = TimeStampServer(work)
        cls.addClassCleanup(cls.tsa.shutdown)

        tree = source_tree(work)
        cls.out = os.path.join(tree, "build", "dist")
        made = make_dist_in(tree, SIGN_PKCS12=cls.pkcs12, SIGN_PASSWORD_FILE=cls.password_file,
                            SIGN_TIMESTAMP_URL=cls.tsa.url, RELEASE_URL=RELEASE_URL)
        cls.log = made.stdout + made.stderr
        if made.returncode:
            raise AssertionError(f"make dist failed:\n{cls.log}")
        cls.programs = {arch: os.path.join(cls.out, arch, "Osprel.exe") for arch in ARCHES}
        cls.archive = next(os.path.join(cls.out, n) for n in os.listdir(cls.out) if n.endswith(".zip"))

    @staticmethod
    def make_dist(out, *options, **popen):
        return run(sys.executable, MAKE_DIST, out, PROGRAMS["x64"], PROGRAMS["x86"], *options, **popen)

    def verify(self, program, authority):
        return run("osslsigncode", "verify", "-CAfile", os.path.join(self.work, f"{authority}.pem"),
                   "-TSA-CAfile", os.path.join(self.work, "ca.pem"), "-in", program)

    def test_programs_verify_against_their_authority_only(self):
        for arch, program in self.programs.items():
            with self.subTest(arch):
                good = self.verify(program, "ca")
                self.assertEqual(good.returncode, 0, good.stdout + good.stderr)
                for line in ("Signature verification: ok", "Timestamp Server Signature verification: ok",
                             "Message digest algorithm  : SHA256", "Subject: /CN=Osprel test signer"):
                    self.assertIn(line, good.stdout)
                other = self.verify(program, "other")
                self.assertNotEqual(other.returncode, 0, other.stdout)
                self.assertIn("Signature verification: failed", other.stdout)

    def test_one_byte_changed_after_signing_fails(self):
        with open(self.programs["x86"], "rb") as f:
            signed = f.read()
        image = check_pe.Image(signed)
        text = next(s for s in image.sections if s[0] == ".text")
        signature_at = image.directory(4)[0]
        # A byte of code, and the last byte the signature covers (just before it).
        for name, at in (("code", text[3] + 0x100), ("last signed byte", signature_at - 1)):
            with self.subTest(name):
                changed = bytearray(signed)
                changed[at] ^= 0x01
                path = os.path.join(self.work, "changed.exe")
                with open(path, "wb") as f:
                    f.write(changed)
                result = self.verify(path, "ca")
                self.assertNotEqual(result.returncode, 0)
                self.assertIn("MISMATCH", result.stdout)

    def test_release_holds_the_signed_programs_the_licence_and_their_sums(self):
        names = sorted(os.path.relpath(os.path.join(d, n), self.out) for d, _, files in os.walk(self.out)
                       for n in files)
        archive = os.path.basename(self.archive)
        released = ["LICENSE", "x64/Osprel.exe", "x86/Osprel.exe"]
        self.assertEqual(names, sorted([archive, "SHA256SUMS", *released, "winget/Osprel.Osprel.yaml",
                                        "winget/Osprel.Osprel.installer.yaml",
                                        "winget/Osprel.Osprel.locale.en-US.yaml"]))
        with open(os.path.join(ROOT, "LICENSE"), encoding="ascii") as f:
            licence = f.read()
        self.assertEqual(licence.splitlines()[:3], ["MIT License", "", "Copyright (c) 2026 the Osprel developers"])
        with zipfile.ZipFile(self.archive) as z:
            self.assertEqual(z.namelist(), ["README.txt", *released])
            # Lines as Notepad shows them, as in README.txt.
            self.assertEqual(z.read("LICENSE"), licence.replace("\n", "\r\n").encode())
            self.assertIn(b"MIT licence, in LICENSE", z.read("README.txt"))
            for name in released:
                with open(os.path.join(self.out, name), "rb") as f:
                    self.assertEqual(z.read(name), f.read(), name)
        result = run("sha256sum", "-c", "SHA256SUMS", cwd=self.out)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(sorted(result.stdout.splitlines()), sorted(f"{n}: OK" for n in [archive, *released]))

    def test_no_password_or_key_in_the_release_or_the_log(self):
        with open(self.pkcs12, "rb") as f:
            secrets_ = {"password": self.password.encode(), "private key": self.key, "PKCS#12 file": f.read()}
        contents = {"log": self.log.encode()}
        for folder, _, files in os.walk(self.out):
            for name in files:
                with open(os.path.join(folder, name), "rb") as f:
                    contents[name] = f.read()
        with zipfile.ZipFile(self.archive) as z:
            contents.update({f"archive: {n}": z.read(n) for n in z.namelist()})
        for what, secret in secrets_.items():
            for name, data in contents.items():
                self.assertNotIn(secret, data, f"{what} in {name}")

    def test_signed_programs_pass_the_pe_checks(self):
        for arch, program in self.programs.items():
            with self.subTest(arch):
                result = run(sys.executable, check_pe.__file__, program, "--imports",
                             os.path.join(ROOT, "tests", "pe", "allowed_imports.txt"))
                self.assertEqual(result.returncode, 0, result.stdout)

    def test_signed_programs_show_their_rows_under_wine(self):
        show_rows = os.path.join(os.path.dirname(PROGRAMS["x64"]), "tools", "show_rows.exe")
        for arch, program in self.programs.items():
            with self.subTest(arch):
                running = subprocess.Popen([WINE_RUN, program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                try:
                    # Into a file, not a pipe: a Wine server started by show_rows keeps its output open.
                    with tempfile.TemporaryFile("w+", encoding="utf-8") as output:
                        # The 32-bit program's window, where Wine's 32-bit loader runs
                        # through an emulator, takes seconds more than the 64-bit one's.
                        shown = subprocess.run([WINE_RUN, show_rows, "60000"], stdout=output,
                                               stderr=subprocess.STDOUT, timeout=90, check=False)
                        output.seek(0)
                        rows = output.read()
                    self.assertEqual(shown.returncode, 0, rows)
                    # A click on the caption makes the window active; then Esc closes it.
                    x, y, width, _ = map(int, rows.split("\nwindow ")[1].split())
                    run("xdotool", "mousemove", str(x + width // 2), str(y + 8), "click", "1", "key", "Escape")
                    self.assertEqual(running.wait(timeout=30), 0)
                finally:
                    if running.poll() is None:
                        running.kill()
                        running.wait()
                self.assertEqual(rows.splitlines()[0], "Osprel")
                self.assertRegex(rows, r"\n  Build Number +\d+\n")
                self.assertRegex(rows, r"\n  System Root +C:\\windows\n")

    def manifests(self):
        folder = os.path.join(self.out, "winget")
        found = {}
        for name in os.listdir(folder):
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                manifest = yaml.safe_load(f)
            found[manifest["ManifestType"]] = (name, manifest)
        self.assertEqual(sorted(found), sorted(REQUIRED))
        return found

    def assert_fields(self, mapping, required, where):
        for key, form in required.items():
            self.assertIn(key, mapping, where)
            if form is not None:
                self.assertIsInstance(mapping[key], str, f"{where}: {key}")
                self.assertRegex(mapping[key], f"^(?:{form})$", f"{where}: {key}")

    def test_manifest_holds_what_the_schema_requires(self):
        manifests = self.manifests()
        identifier = manifests["version"][1]["PackageIdentifier"]
        for kind, (name, manifest) in manifests.items():
            with self.subTest(name):
                self.assert_fields(manifest, REQUIRED[kind], name)
                for key in PACKAGE:
                    self.assertEqual(manifest[key], manifests["version"][1][key], f"{name}: {key}")
                suffix = {"version": "", "installer": ".installer",
                          "defaultLocale": f".locale.{manifest.get('PackageLocale')}"}[kind]
                self.assertEqual(name, f"{identifier}{suffix}.yaml")
        self.assertEqual(manifests["defaultLocale"][1]["PackageLocale"], manifests["version"][1]["DefaultLocale"])
        self.assertGreaterEqual(tuple(map(int, manifests["version"][1]["ManifestVersion"].split("."))), (1, 6, 0))

    def test_manifest_installers_name_the_archive_and_its_programs(self):
        installer = self.manifests()["installer"][1]
        self.assertEqual((installer["InstallerType"], installer["NestedInstallerType"]), ("zip", "portable"))
        with open(self.archive, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        with zipfile.ZipFile(self.archive) as z:
            entries = z.namelist()
        self.assertEqual([i["Architecture"] for i in installer["Installers"]], list(ARCHES))
        for item in installer["Installers"]:
            with self.subTest(item["Architecture"]):
                self.assert_fields(item, INSTALLER, item["Architecture"])
                self.assertEqual(item["InstallerSha256"].lower(), digest)
                self.assertEqual(item["InstallerUrl"], RELEASE_URL + os.path.basename(self.archive))
                (nested,) = item["NestedInstallerFiles"]
                self.assert_fields(nested, NESTED_FILE, "NestedInstallerFiles")
                self.assertEqual(nested["RelativeFilePath"], f"{item['Architecture']}\\Osprel.exe")
                self.assertIn(nested["RelativeFilePath"].replace("\\", "/"), entries)
                self.assertEqual(nested["PortableCommandAlias"], "osprel")

    def test_manifest_says_what_the_programs_version_block_says(self):
        manifests = self.manifests()
        locale = manifests["defaultLocale"][1]
        for arch, program in self.programs.items():
            with self.subTest(arch):
                strings, numbers = version_block(program)
                self.assertEqual(locale["PackageVersion"], release_version(numbers))
                self.assertEqual(locale["Publisher"], strings["CompanyName"])
                self.assertEqual(locale["ShortDescription"], strings["FileDescription"])
                self.assertEqual(locale["License"], "MIT")
                self.assertEqual(locale["Copyright"], strings["LegalCopyright"])
                self.assertEqual(locale["PackageName"], strings["InternalName"])
                self.assertEqual(os.path.basename(self.archive), f"{strings['InternalName']}-{locale['PackageVersion']}.zip")


class UnsignedAndRefused(unittest.TestCase):
    """make_dist.py without a certificate, and with one it cannot use."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="osprel-unsigned-")
        self.out = os.path.join(self.work, "dist")
        self.addCleanup(shutil.rmtree, self.work)

    def test_without_a_certificate_the_programs_are_unsigned_and_no_manifest_is_written(self):
        result = SignedRelease.make_dist(self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.out, "winget")))
        for arch in ARCHES:
            verified = run("osslsigncode", "verify", "-in", os.path.join(self.out, arch, "Osprel.exe"))
            self.assertNotEqual(verified.returncode, 0)
            self.assertIn("No signature found", verified.stdout + verified.stderr)

    def test_the_longest_archive_address_winget_takes_is_written(self):
        result = SignedRelease.make_dist(self.out, "--release-url", release_url_for(INSTALLER_URL_MAX))
        self.assertEqual(result.returncode, 0, result.stderr)
        (name,) = [n for n in os.listdir(os.path.join(self.out, "winget")) if n.endswith(".installer.yaml")]
        with open(os.path.join(self.out, "winget", name), encoding="utf-8") as f:
            installers = yaml.safe_load(f)["Installers"]
        for item in installers:
            self.assertEqual(len(item["InstallerUrl"]), INSTALLER_URL_MAX)
            self.assertRegex(item["InstallerUrl"], f"^(?:{INSTALLER['InstallerUrl']})$")

    def test_refused_before_anything_is_written(self):
        password = os.path.join(self.work, "password.txt")
        with open(password, "w", encoding="ascii") as f:
            f.write("wrong password 7f3a\n")
        # Not a key at all; it lies where builds delete files.
        build_key = os.path.join(ROOT, "build", f"refused-{os.getpid()}.p12")
        with open(build_key, "wb") as f:
            f.write(b"not a key")
        self.addCleanup(os.remove, build_key)
        users = os.path.join(self.work, "users")
        os.mkdir(users)
        with open(os.path.join(users, "notes.txt"), "w", encoding="ascii") as f:
            f.write("the user's own\n")
        tree = source_tree(self.work)
        made = os.path.join(tree, "build", "dist")
        web = "https://osprel.invalid/releases/"
        # name | make_dist.py's options, or make's variables | what the message says |
        # what is at the release folder before (a link to a folder of the user's, a file)
        cases = [
            ("certificate without its password", ["--sign-pkcs12", password], "needs both", None),
            ("password without a certificate", ["--sign-password-file", password], "needs both", None),
            ("time stamp without a certificate", ["--sign-timestamp-url", "http://127.0.0.1:9/"], "for a signed", None),
            ("no time at all", ["--sign-timeout", "0"], "seconds from 1 to 600", None),
            ("a second too long", ["--sign-timeout", "601"], "seconds from 1 to 600", None),
            ("the longest time, then an address", ["--sign-timeout", "600", "--release-url", "ftp://osprel.invalid/"],
             "not an http", None),
            ("key in the build tree", ["--sign-pkcs12", build_key, "--sign-password-file", password],
             "builds delete", None),
            ("release address not on the web", ["--release-url", "ftp://osprel.invalid/"], "not an http", None),
            ("a fragment the archive's name would join", ["--release-url", web + "#frag"], "fragment", None),
            ("an address ending in #", ["--release-url", web + "v1.5#"], "fragment", None),
            ("a query the archive's name would join", ["--release-url", web + "?folder=v1.5"], "query", None),
            ("an address ending in ?", ["--release-url", web + "v1.5?"], "query", None),
            ("a time-stamp server with a fragment", ["--sign-timestamp-url", "http://127.0.0.1:9/ts#x"], "fragment",
             None),
            ("a space", ["--release-url", web + "v 1.5/"], "write it as %20", None),
            ("a backslash", ["--release-url", web + "v1.5\\"], "write it as %5C", None),
            ("a % with one digit", ["--release-url", web + "v1.5%2"], "two hexadecimal digits", None),
            ("a letter outside ASCII", ["--release-url", web + "v1.5\u00e9/"], "write it as %C3%A9", None),
            ("an archive's address one character beyond winget's limit",
             ["--release-url", release_url_for(INSTALLER_URL_MAX + 1)],
             f"{INSTALLER_URL_MAX + 1} characters long, beyond the {INSTALLER_URL_MAX}", None),
            # Through the Makefile: the shell runs nothing of a value, and make
            # expands no $ in it.
            ("a quote and a command, through make", {"RELEASE_URL": web + "'; touch injected; '"},
             "write it as %20", None),
            ("a command for make, through make", {"RELEASE_URL": web + "$(shell touch injected)"},
             "write it as %20", None),
            ("a quote and a $ in a key, through make",
             {"SIGN_PKCS12": "/nonexistent/it's $name.p12", "SIGN_PASSWORD_FILE": password},
             "/nonexistent/it's $name.p12: no such file", None),
            ("release folder a link to a folder of the user's", [], "symbolic link", "link"),
            ("release folder a file", [], "not a folder", "file"),
            ("release folder a link, through make", {}, "symbolic link", "link"),
        ]
        for name, options, message, there in cases:
            with self.subTest(name):
                out = made if isinstance(options, dict) else self.out
                clear(out)
                if there == "link":
                    os.symlink(users, out)
                elif there == "file":
                    with open(out, "w", encoding="ascii") as f:
                        f.write("a file\n")
                before = sorted(os.listdir(tree)), sorted(os.listdir(users))
                if isinstance(options, dict):
                    result = make_dist_in(tree, **options)
                else:
                    result = SignedRelease.make_dist(self.out, *options)
                self.assertEqual(result.returncode, 2, result.stdout)
                self.assertIn(message, result.stderr)
                self.assertEqual(len([line for line in result.stderr.splitlines() if "error:" in line]), 1,
                                 result.stderr)
                self.assertEqual((sorted(os.listdir(tree)), sorted(os.listdir(users))), before)
                if there == "link":
                    self.assertEqual(os.readlink(out), users)
                elif there == "file":
                    with open(out, encoding="ascii") as f:
                        self.assertEqual(f.read(), "a file\n")
                else:
                    self.assertFalse(os.path.lexists(out))
        with open(os.path.join(users, "notes.txt"), encoding="ascii") as f:
            self.assertEqual(f.read(), "the user's own\n")

    def self_signed(self):
        """A PKCS#12 file of a self-signed code-signing certificate and its
        password file."""
        password = os.path.join(self.work, "password.txt")
        with open(password, "w", encoding="ascii") as f:
            f.write("the right one\n")
        pkcs12 = os.path.join(self.work, "signer.p12")
        write_config(self.work)
        issue(self.work, "signer", "Osprel test signer", "code_signing", authority="signer")
        openssl(self.work, "pkcs12", "-export", "-in", "signer.pem", "-inkey", "signer.key", "-out", pkcs12,
                "-passout", f"file:{password}")
        return pkcs12, password

    def test_a_signing_that_fails_leaves_no_release(self):
        pkcs12, password = self.self_signed()
        wrong = os.path.join(self.work, "wrong.txt")
        with open(wrong, "w", encoding="ascii") as f:
            f.write("not the password 7f3a\n")
        silent = SilentServer()
        self.addCleanup(silent.close)
        # name | password file | more options | what the message says (osslsigncode's own words too)
        cases = [
            ("wrong password", wrong, [], ["could not sign", "Wrong password?"]),
            ("a time-stamp server that never answers", password,
             ["--sign-timestamp-url", silent.url, "--sign-timeout", "3"],
             [f"the time-stamp server {silent.url} did not answer within 3 seconds"]),
        ]
        for name, password_file, options, messages in cases:
            with self.subTest(name):
                started = time.monotonic()
                result = SignedRelease.make_dist(self.out, "--sign-pkcs12", pkcs12, "--sign-password-file",
                                                 password_file, *options, timeout=120)
                self.assertLess(time.monotonic() - started, 30)
                self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
                for message in messages:
                    self.assertIn(message, result.stderr)
                self.assertIn("no release made", result.stderr)
                self.assertNotIn("Traceback", result.stderr)
                self.assertNotIn("7f3a", result.stdout + result.stderr)
                self.assertFalse(os.path.lexists(self.out))

    def test_an_interrupted_signing_leaves_no_release(self):
        pkcs12, password = self.self_signed()
        # name | signal | to the whole process group, as Ctrl+C in a terminal does
        cases = [("Ctrl+C", signal.SIGINT, True), ("TERM to make_dist.py", signal.SIGTERM, False)]
        for name, number, group in cases:
            with self.subTest(name):
                silent = SilentServer()
                self.addCleanup(silent.close)
                command = [sys.executable, MAKE_DIST, self.out, PROGRAMS["x64"], PROGRAMS["x86"], "--sign-pkcs12",
                           pkcs12, "--sign-password-file", password, "--sign-timestamp-url", silent.url]
                # A terminal's signals as they are, whatever the test's caller ignores.
                running = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                           start_new_session=True,
                                           preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
                self.addCleanup(stop_group, running)
                self.assertTrue(silent.accepted.wait(60), "osslsigncode never asked for a time stamp")
                (os.killpg if group else os.kill)(running.pid, number)
                _, errors = running.communicate(timeout=30)
                self.assertEqual(running.returncode, 128 + number, errors)
                self.assertIn("interrupted", errors)
                self.assertNotIn("Traceback", errors)
                self.assertFalse(os.path.lexists(self.out))
                # Nothing of the run is left running: osslsigncode was stopped with it.
                with self.assertRaises(ProcessLookupError):
                    os.killpg(running.pid, 0)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    PROGRAMS = {"x64": os.path.abspath(sys.argv[1]), "x86": os.path.abspath(sys.argv[2])}
    for arch, path in PROGRAMS.items():
        if not os.path.isfile(path):
            sys.exit(f"no {arch} program at {path}: build both programs first (make build)")
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
