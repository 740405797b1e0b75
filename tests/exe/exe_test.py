"""What tamsel.exe is as a file: headers, imports, entry point, version record, reproducibility.

Usage: exe_test.py BUILD_DIR [BUILD_DIR ...]  (each holding tamsel.exe and tamsel.map)
"""
import os
import re
import subprocess
import sys
import tempfile
import unittest

import pefile

BUILD_DIRS = []
SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

ALLOWED_IMPORTS = {
    "KERNEL32.DLL": {"ExitProcess", "GetCPInfo", "GetCommandLineA", "GetModuleFileNameA",
                     "GetProcessHeap", "GetStdHandle", "GlobalAlloc", "GlobalLock",
                     "GlobalUnlock", "HeapAlloc", "HeapReAlloc", "ReadFile", "Sleep",
                     "WriteFile", "lstrcatA"},
    "USER32.DLL": {"CloseClipboard", "EmptyClipboard", "MessageBoxA", "OpenClipboard",
                   "SetClipboardData", "wsprintfA"},
}

HEADER = [  # (what, read from the parsed file, expected)
    ("machine i386", lambda pe: pe.FILE_HEADER.Machine, 0x14C),
    ("PE32, not PE32+", lambda pe: pe.OPTIONAL_HEADER.Magic, 0x10B),
    ("console subsystem", lambda pe: pe.OPTIONAL_HEADER.Subsystem, 3),
    ("subsystem 4.0", lambda pe: (pe.OPTIONAL_HEADER.MajorSubsystemVersion,
                                  pe.OPTIONAL_HEADER.MinorSubsystemVersion), (4, 0)),
    ("no link timestamp", lambda pe: pe.FILE_HEADER.TimeDateStamp, 0),
    ("no icon", lambda pe: [e.id for e in pe.DIRECTORY_ENTRY_RESOURCE.entries
                            if e.id in (3, 14)], []),
]

FIXED_VERSION = {"FileVersionMS": 0x00010001, "FileVersionLS": 0, "ProductVersionMS": 0x00010001,
                 "ProductVersionLS": 0, "FileFlagsMask": 0, "FileFlags": 0, "FileOS": 4,
                 "FileType": 1, "FileSubtype": 0, "FileDateMS": 0, "FileDateLS": 0}

STRINGS = [  # in this order; the first two are ours to word
    ("CompanyName", None), ("LegalCopyright", None),
    ("FileDescription", "Copy arguments to the clipboard"), ("ProductName", "Tamsel"),
    ("FileVersion", "1.1"), ("ProductVersion", "1.1"), ("InternalName", "tamsel"),
    ("OriginalFilename", "tamsel.exe"),
]


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
            for field, expected in FIXED_VERSION.items():
                with self.subTest(build=build_dir, field=field):
                    self.assertEqual(getattr(fixed, field), expected)
            infos = {x.Key.decode(): x for fi in pe.FileInfo for x in fi}
            tables = infos["StringFileInfo"].StringTable
            with self.subTest(build=build_dir, what="strings"):
                self.assertEqual([t.LangID.decode().upper() for t in tables], ["040904B0"])
                entries = [(k.decode(), v.decode()) for k, v in tables[0].entries.items()]
                self.assertEqual([k for k, _ in entries], [k for k, _ in STRINGS])
                for (key, value), (_, expected) in zip(entries, STRINGS):
                    self.assertTrue(value if expected is None else value == expected, key)
            with self.subTest(build=build_dir, what="translation"):
                self.assertEqual(infos["VarFileInfo"].Var[0].entry,
                                 {b"Translation": "0x0409 0x04b0"})

    def test_two_clean_builds_are_identical(self):
        toolchain = os.path.join(SOURCE_DIR, "cmake", "mingw-gcc.cmake")
        outputs = []
        with tempfile.TemporaryDirectory() as scratch:
            for name in ("one", "two"):
                build = os.path.join(scratch, name)
                for command in (["cmake", "-S", SOURCE_DIR, "-B", build,
                                 "-DCMAKE_TOOLCHAIN_FILE=" + toolchain],
                                ["cmake", "--build", build, "--target", "tamsel"]):
                    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
                with open(os.path.join(build, "tamsel.exe"), "rb") as f:
                    outputs.append(f.read())
        self.assertEqual(outputs[0], outputs[1])


if __name__ == "__main__":
    BUILD_DIRS = sys.argv[1:]
    unittest.main(argv=sys.argv[:1], verbosity=2)
