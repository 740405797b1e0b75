"""What tamsel.exe is as a file: headers, imports, instructions, entry point, version record,
reproducibility, and the release made of it.

Usage: exe_test.py VERSION DIST_DIR TESTED_EXE BUILD_DIR [BUILD_DIR ...]
  VERSION     the project's version, as the version record and the zip's name must carry it
  DIST_DIR    a (trial) release folder, made from TESTED_EXE (the exe the end-to-end suite runs)
  BUILD_DIR   a build holding tamsel.exe and tamsel.map
"""
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import unittest
import zipfile

import pefile

VERSION = DIST_DIR = TESTED_EXE = None
BUILD_DIRS = []
SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Tamsel claims to need nothing newer than Windows NT 4.0, so it may import only functions that
# NT 4.0's KERNEL32.DLL and USER32.DLL export. Every name here is one of them (all date from
# NT 3.1, and Windows 95 has them too); a name added here must be checked against NT 4.0 first.
ALLOWED_IMPORTS = {
    "KERNEL32.DLL": {"ExitProcess", "FlushConsoleInputBuffer", "GetACP", "GetCPInfo",
                     "GetCommandLineA", "GetCommandLineW", "GetConsoleCP", "GetConsoleMode",
                     "GetFileType", "GetLastError", "GetModuleFileNameA", "GetOEMCP",
                     "GetProcessHeap", "GetStdHandle", "GetSystemDefaultLCID", "GetVersion",
                     "GlobalAlloc", "GlobalLock", "GlobalUnlock", "HeapAlloc", "HeapReAlloc",
                     "LoadLibraryA", "MultiByteToWideChar", "PeekNamedPipe", "ReadConsoleA",
                     "ReadConsoleInputA", "ReadFile", "SetLastError", "Sleep",
                     "WaitForSingleObject", "WriteFile", "lstrcatA"},
    "USER32.DLL": {"CloseClipboard", "EmptyClipboard", "MessageBoxA", "OpenClipboard",
                   "SetClipboardData", "wsprintfA"},
}

# The Debian release, then the packages whose versions make the release's bytes.
BUILDINFO_NAMES = ["debian", "g++-mingw-w64-i686", "g++-mingw-w64-i686-win32",
                   "gcc-mingw-w64-i686-win32", "binutils-mingw-w64-i686", "mingw-w64-i686-dev",
                   "cmake", "libarchive13", "fakeroot"]

HEADER = [  # (what, read from the parsed file, expected)
    ("machine i386", lambda pe: pe.FILE_HEADER.Machine, 0x14C),
    ("PE32, not PE32+", lambda pe: pe.OPTIONAL_HEADER.Magic, 0x10B),
    ("console subsystem", lambda pe: pe.OPTIONAL_HEADER.Subsystem, 3),
    ("subsystem 4.0", lambda pe: (pe.OPTIONAL_HEADER.MajorSubsystemVersion,
                                  pe.OPTIONAL_HEADER.MinorSubsystemVersion), (4, 0)),
    ("no link timestamp", lambda pe: pe.FILE_HEADER.TimeDateStamp, 0),
    ("no icon", lambda pe: [e.id for e in pe.DIRECTORY_ENTRY_RESOURCE.entries
                            if e.id in (3, 14)], []),
    ("relocations, ASLR, DEP, no SEH, TS-aware", lambda pe: (bool(pe.DIRECTORY_ENTRY_BASERELOC),
     pe.FILE_HEADER.Characteristics & 1, pe.OPTIONAL_HEADER.DllCharacteristics), (True, 0, 0x8540)),
    ("a manifest, id 1", lambda pe: [[n.id for n in e.directory.entries] for e in
                                     pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == 24], [[1]]),
    ("aware of each monitor's DPI", lambda pe: pe.write().count(b"<dpiAwareness xmlns='http://"
     b"schemas.microsoft.com/SMI/2016/WindowsSettings'>PerMonitorV2, PerMonitor</dpiAwareness>"), 1),
]

# Instructions that a 486 lacks, as objdump -d writes them (after any prefixes, such as lock or
# cs), by the processors that brought them.
NEWER_THAN_I486 = [
    ("Pentium", r"^(\w+ )*(cmpxchg8b|rdtscp?|cpuid|rdmsr|wrmsr|rsm)\b"),
    ("Pentium Pro", r"^(\w+ )*(cmov\w*|fcmov\w*|fu?comip?|rdpmc|ud[012]\w*|nop[lw])\b"),
    ("Pentium II, K6", r"^(\w+ )*(sys(enter|exit|call|ret)|fxsave|fxrstor)\b"),
    ("MMX, SSE, AVX", r"%[xyz]?mm\d|^(\w+ )*f?emms\b"),
    ("SSE and later, no vector register", r"^(\w+ )*([lms]fence|prefetch\w*|movnti|clflush\w*|"
     r"[ls]dmxcsr|fisttp\w*|monitor|mwait|popcnt|lzcnt|tzcnt|movbe|crc32\w*|andn|bextr|bls\w+|"
     r"bzhi|mulx|pdep|pext|rorx|sarx|shlx|shrx|rdrand|rdseed|xgetbv|xsave\w*|endbr32)\b"),
]

# An argument that each script does not know, as a typo or a habit gives it.
UNKNOWN_ARGUMENTS = [("scripts/setup", "wnie"), ("scripts/setup", "--help"),
                     ("scripts/release", "--help"), ("scripts/test", "unit"), ("bench/run", "-q")]

# A link [words](target) or a picture ![words](target) in Markdown.
LINK = re.compile(rb"(!?)\[([^][]*)\]\(([^()]*)\)")


def fixed_version():
    major, minor = (int(n) for n in VERSION.split("."))
    packed = major << 16 | minor
    return {"FileVersionMS": packed, "FileVersionLS": 0, "ProductVersionMS": packed,
            "ProductVersionLS": 0, "FileFlagsMask": 0, "FileFlags": 0, "FileOS": 4,
            "FileType": 1, "FileSubtype": 0, "FileDateMS": 0, "FileDateLS": 0}


def strings():  # in this order; the first two are ours to word
    return [("CompanyName", None), ("LegalCopyright", None),
            ("FileDescription", "Copy arguments to the clipboard"), ("ProductName", "Tamsel"),
            ("FileVersion", VERSION), ("ProductVersion", VERSION), ("InternalName", "tamsel"),
            ("OriginalFilename", "tamsel.exe")]


def parse(build_dir):
    return pefile.PE(os.path.join(build_dir, "tamsel.exe"))


class ExeFile(unittest.TestCase):
    def test_headers(self):
        for build_dir in BUILD_DIRS:
            pe = parse(build_dir)
            for what, read, expected in HEADER:
                with self.subTest(build=build_dir, what=what):
                    self.assertEqual(read(pe), expected)

    def test_imports_only_kernel32_and_user32(self):
        for build_dir in BUILD_DIRS:
            with self.subTest(build=build_dir):
                imports = {d.dll.decode().upper(): {i.name.decode() for i in d.imports}
                           for d in parse(build_dir).DIRECTORY_ENTRY_IMPORT}
                self.assertEqual(set(imports), set(ALLOWED_IMPORTS))
                for dll, names in imports.items():
                    self.assertLessEqual(names, ALLOWED_IMPORTS[dll], dll)

    def test_no_instructions_newer_than_i486(self):
        for build_dir in BUILD_DIRS:
            # GNU ld puts the texts and the import table behind the code, in the same section:
            # they are no instructions, so the disassembly stops where they begin.
            with open(os.path.join(build_dir, "tamsel.map")) as f:
                layout = f.read().partition("Linker script and memory map")[2]
            data = re.search(r"^ \.rdata\s+(0x[0-9a-f]+)\s", layout, re.M)
            code = subprocess.run(["i686-w64-mingw32-objdump", "-d", os.path.join(
                build_dir, "tamsel.exe")] + (["--stop-address=" + data[1]] if data else []),
                                  check=True, capture_output=True, text=True).stdout
            instructions = [line.split("\t")[2] for line in code.splitlines()
                            if line.count("\t") >= 2]
            self.assertGreater(len(instructions), 100, build_dir)
            for what, pattern in NEWER_THAN_I486:
                with self.subTest(build=build_dir, what=what):
                    self.assertEqual([i for i in instructions if re.search(pattern, i)], [])

    def test_entry_point_is_tamsel_start(self):
        # A mangled or decorated entry name lets the linker silently pick another address.
        for build_dir in BUILD_DIRS:
            with self.subTest(build=build_dir):
                pe = parse(build_dir)
                with open(os.path.join(build_dir, "tamsel.map")) as f:
                    found = [int(m.group(1), 16) for m in
                             re.finditer(r"^\s*(?:0x)?([0-9a-fA-F]+)\s.*?\b_?TamselStart$",
                                         f.read(), re.M)]
                self.assertEqual(len(found), 1, "TamselStart once in the link map")
                base = pe.OPTIONAL_HEADER.ImageBase
                rva = found[0] - base if found[0] >= base else found[0]
                self.assertEqual(pe.OPTIONAL_HEADER.AddressOfEntryPoint, rva)

    def test_version_record(self):
        for build_dir in BUILD_DIRS:
            pe = parse(build_dir)
            fixed = pe.VS_FIXEDFILEINFO[0]
            for field, expected in fixed_version().items():
                with self.subTest(build=build_dir, field=field):
                    self.assertEqual(getattr(fixed, field), expected)
            infos = {x.Key.decode(): x for fi in pe.FileInfo for x in fi}
            tables = infos["StringFileInfo"].StringTable
            with self.subTest(build=build_dir, what="strings"):
                self.assertEqual([t.LangID.decode().upper() for t in tables], ["040904B0"])
                entries = [(k.decode(), v.decode()) for k, v in tables[0].entries.items()]
                self.assertEqual([k for k, _ in entries], [k for k, _ in strings()])
                for (key, value), (_, expected) in zip(entries, strings()):
                    self.assertTrue(value if expected is None else value == expected, key)
            with self.subTest(build=build_dir, what="translation"):
                self.assertEqual(infos["VarFileInfo"].Var[0].entry,
                                 {b"Translation": "0x0409 0x04b0"})

    def test_two_clean_builds_are_identical(self):
        # Two clones of the commit, one with its text checked out with CR LF (the clone's own
        # attributes override the repository's LF), built and released by builders whose umask
        # and time zone differ: none of it may reach the bytes. The releases go into folders
        # holding a file of their own, which stays.
        toolchain = os.path.join("cmake", "mingw-gcc.cmake")
        commit = git("rev-parse", "HEAD").decode().strip()
        outputs = []
        with tempfile.TemporaryDirectory() as scratch:
            for name, crlf, umask, zone in (("one", False, 0o022, "UTC"),
                                            ("two", True, 0o077, "Asia/Tokyo")):
                source, build, dist = (os.path.join(scratch, name + end)
                                       for end in ("", "-build", "-dist"))
                subprocess.run(["git", "clone", "-q", "--no-checkout", SOURCE_DIR, source],
                               check=True)
                with open(os.path.join(source, ".git", "info", "attributes"), "w") as f:
                    f.write("* text=auto eol=crlf\n" if crlf else "")  # as core.autocrlf once did
                subprocess.run(["git", "-C", source, "checkout", "-q", commit], check=True)
                os.mkdir(dist)
                with open(os.path.join(dist, "own.txt"), "wb") as f:
                    f.write(b"not the release's")
                release = ["cmake", "--build", build, "--target", "release"]
                for command in (["cmake", "-S", source, "-B", build,
                                 "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(source, toolchain),
                                 "-DTAMSEL_DIST_DIR=" + dist], release):
                    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, umask=umask,
                                   env=dict(os.environ, TZ=zone))
                outputs.append((read(os.path.join(build, "tamsel.exe")),
                                read(os.path.join(dist, zip_name()))))
                self.assertEqual(sorted(os.listdir(dist)), sorted(
                    ["own.txt", zip_name(), "tamsel.exe", "SHA256SUMS", "BUILDINFO"]))
                self.assertEqual(read(os.path.join(dist, "own.txt")), b"not the release's")
            # A changed tracked file: the release would not be the commit's, so there is none.
            with open(os.path.join(source, "LICENSE"), "ab") as f:
                f.write(b"changed\n")
            refused = subprocess.run(release, capture_output=True, text=True)
            self.assertNotEqual(refused.returncode, 0)
            self.assertIn("M LICENSE", refused.stdout + refused.stderr)
            # Unknown arguments, in the clone with LF line ends, with the commands that install,
            # build or run faked to log their calls: a line of usage, a failure, and no call.
            fakes, called = os.path.join(scratch, "fakes"), os.path.join(scratch, "called")
            os.mkdir(fakes)
            for fake in ("apt-get", "cmake", "ctest", "sudo", "dpkg", "dpkg-query", "wine"):
                with open(os.path.join(fakes, fake), "w") as f:
                    f.write('#!/bin/sh\necho "$0 $*" >> %s\n' % called)
                os.chmod(f.name, 0o755)
            env = dict(os.environ, PATH=fakes + os.pathsep + os.environ["PATH"])
            for script, argument in UNKNOWN_ARGUMENTS:
                run = subprocess.run([os.path.join(scratch, "one", script), argument], env=env,
                                     capture_output=True, text=True)
                self.assertRegex(run.stderr, r"\Ausage: .*%s.*\n\Z" % script, argument)
                self.assertNotEqual(run.returncode, 0, script)
            self.assertFalse(os.path.exists(called) and read(called), "called")
        self.assertEqual(outputs[0][0], outputs[1][0], "tamsel.exe")
        self.assertEqual(outputs[0][1], outputs[1][1], "the zip")

    def test_release_is_the_tested_exe(self):
        # The zip is read on Windows, in Notepad too: the commit's texts as .txt with CR LF line
        # ends, the README marked as UTF-8, the pictures it shows beside it; of its links the words.
        readme = git("cat-file", "blob", "HEAD:./README.md")
        pictures = [target.decode() for shown, _, target in LINK.findall(readme) if shown]
        license = git("cat-file", "blob", "HEAD:./LICENSE").replace(b"\n", b"\r\n")
        expected = {"tamsel.exe": read(TESTED_EXE), "README.txt": None, "LICENSE.txt": license}
        expected.update((os.path.basename(picture), git("cat-file", "blob", "HEAD:./" + picture))
                        for picture in pictures)
        with zipfile.ZipFile(os.path.join(DIST_DIR, zip_name())) as archive:
            members = {m.filename: archive.read(m) for m in archive.infolist()}
        self.assertEqual(list(members), list(expected), "members in this order")
        self.assertLessEqual(len(members["tamsel.exe"]), 9216, "the goal for tamsel.exe's size")
        for name, data in members.items():
            with self.subTest(member=name):
                if expected[name] is not None:
                    self.assertEqual(sha256(data), sha256(expected[name]))
                if name.endswith(".txt"):  # every line ends with CR LF
                    self.assertNotRegex(data, rb"(?<!\r)\n|\r(?!\n)|[^\n]\Z")
        # Its README is for one who holds only the zip: UTF-8's mark, then lines of README.md with
        # every heading but those on building, nothing the zip lacks, no build step, no command in
        # a table (GitHub's \| would stay). The zip's name in README.md carries the version.
        text, ours = (LINK.sub(rb"\2", t.replace(b"\r\n", b"\n"))
                      for t in (members["README.txt"], b"\xef\xbb\xbf" + readme))
        self.assertEqual(set(text.splitlines()) - set(ours.splitlines()), set())
        self.assertEqual(re.findall(rb"^#+ .*", text, re.M), [h for h in re.findall(
            rb"^#+ .*", ours, re.M) if not re.search(rb"Quick start|Development", h)])
        self.assertEqual(re.findall(rb"\\\||<!--|docs/|scripts/|dist/|BUILDINFO|\S*\.md\b|cmake|"
                                    rb"apt-get|Debian \d", text) + re.findall(rb"\\\|", readme), [])
        self.assertEqual(set(re.findall(rb"tamsel-(\S*)-win32\.zip", readme)), {VERSION.encode()})
        for _, _, target in LINK.findall(members["README.txt"]):
            with self.subTest(link=target):  # to a member of the zip, or to the web
                self.assertTrue(target.decode() in members or re.match(rb"https?://", target),
                                "names no member of the zip and no web address")
        self.assertEqual(read(os.path.join(DIST_DIR, "tamsel.exe")), expected["tamsel.exe"])
        with open(os.path.join(DIST_DIR, "SHA256SUMS")) as f:
            self.assertEqual(sorted(line.split()[1] for line in f), sorted(["tamsel.exe", zip_name()]))
        check = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=DIST_DIR,
                               capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        # Beside the zip, not in it: what a rebuild needs installed to give the same bytes.
        with open(os.path.join(DIST_DIR, "BUILDINFO")) as f:
            record = [line.split(" ") for line in f.read().splitlines()]
        self.assertEqual([fields[0] for fields in record], BUILDINFO_NAMES)
        self.assertTrue(all(len(fields) == 2 and fields[1] for fields in record), record)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def git(*args):
    return subprocess.run(["git", "-C", SOURCE_DIR] + list(args), check=True,
                          capture_output=True).stdout


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def zip_name():
    return "tamsel-%s-win32.zip" % VERSION


if __name__ == "__main__":
    VERSION, DIST_DIR, TESTED_EXE = sys.argv[1:4]
    BUILD_DIRS = sys.argv[4:]
    unittest.main(argv=sys.argv[:1], verbosity=2)
