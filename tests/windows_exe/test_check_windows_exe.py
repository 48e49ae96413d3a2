#!/usr/bin/env python3
"""Self-test of tools/check_windows_exe.py: it must accept a well-formed
Huevane-like executable and name the fault in each broken one.

The executables are built here, byte by byte, by a small PE writer that is
independent of the checker's reader: headers, an import directory and a
resource tree holding the dialogs, bitmaps, icons, cursor, version block and
manifest. Each case changes one thing and expects a fault that names it.

Usage: test_check_windows_exe.py path/to/check_windows_exe.py
"""

import importlib.util
import os
import struct
import subprocess
import sys
import tempfile
import unittest

CHECKER_PATH = None
checker = None

US = 0x0409
UK = 0x0809

MANIFEST = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity version="1.0.0.0" processorArchitecture="X86" name="KorvellSoftware.Huevane.Huevane" type="win32"/>
  <description>A colour-choosing tool for Windows.</description>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" processorArchitecture="X86" publicKeyToken="0123456789abcdef" language="*"/>
    </dependentAssembly>
  </dependency>
</assembly>
"""


# --- A small PE writer -------------------------------------------------------

def pad4(data):
    return data + bytes(-len(data) % 4)


def version_node(key, value=b"", text=False, children=()):
    """One version block node; a text value is given as a str and stored NUL-terminated."""
    if isinstance(value, str):
        value = (value + "\0").encode("utf-16-le")
    body = pad4(bytes(6) + (key + "\0").encode("utf-16-le")) + value
    for child in children:
        body = pad4(body) + child
    value_length = len(value) // 2 if text else len(value)
    return struct.pack("<HHH", len(body), value_length, 1 if text else 0) + body[6:]


def fixed_file_info(fields):
    return struct.pack("<13I", 0xFEEF04BD, 0x00010000, *fields)


def icon_image():
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, 0, 0, 0, 16, 0)
    return header + bytes(64 + 16 * 32 + 4 * 32)


def group_directory(kind, member_ids):
    entries = b"".join(struct.pack("<BBBBHHIH", 32, 32, 16, 0, 1, 4, len(icon_image()), member)
                       for member in member_ids)
    return struct.pack("<HHH", 0, kind, len(member_ids)) + entries


def resource_section(entries, section_rva):
    """The three-level resource tree (type, id, language) followed by the data."""
    tree = {}
    for (resource_type, name, language), data in entries.items():
        tree.setdefault(resource_type, {}).setdefault(name, {})[language] = data

    def directory_size(count):
        return 16 + 8 * count

    # Directories first, then data entries, then the data, as resource compilers do.
    offset = directory_size(len(tree))
    type_offsets, name_offsets = {}, {}
    for resource_type in sorted(tree):
        type_offsets[resource_type] = offset
        offset += directory_size(len(tree[resource_type]))
    for resource_type in sorted(tree):
        for name in sorted(tree[resource_type]):
            name_offsets[(resource_type, name)] = offset
            offset += directory_size(len(tree[resource_type][name]))
    data_entry_offsets = {}
    for resource_type in sorted(tree):
        for name in sorted(tree[resource_type]):
            for language in sorted(tree[resource_type][name]):
                data_entry_offsets[(resource_type, name, language)] = offset
                offset += 16
    blobs = bytearray()
    data_rvas = {}
    for key in sorted(data_entry_offsets):
        data_rvas[key] = section_rva + offset + len(blobs)
        blobs += pad4(entries[key])

    def directory(children):
        out = struct.pack("<IIHHHH", 0, 0, 0, 0, 0, len(children))
        for key, target in children:
            out += struct.pack("<II", key, target)
        return out

    out = directory([(t, 0x80000000 | type_offsets[t]) for t in sorted(tree)])
    for resource_type in sorted(tree):
        out += directory([(n, 0x80000000 | name_offsets[(resource_type, n)]) for n in sorted(tree[resource_type])])
    for resource_type in sorted(tree):
        for name in sorted(tree[resource_type]):
            out += directory([(language, data_entry_offsets[(resource_type, name, language)])
                              for language in sorted(tree[resource_type][name])])
    for key in sorted(data_entry_offsets):
        out += struct.pack("<IIII", data_rvas[key], len(entries[key]), 0, 0)
    return out + bytes(blobs)


def import_section(dll_names, section_rva):
    table_size = 20 * (len(dll_names) + 1)
    names = bytearray()
    name_rvas = []
    for dll in dll_names:
        name_rvas.append(section_rva + table_size + len(names))
        names += dll.encode("ascii") + b"\0"
    null_thunk_rva = section_rva + table_size + len(names)
    table = b"".join(struct.pack("<IIIII", null_thunk_rva, 0, 0, name_rva, null_thunk_rva) for name_rva in name_rvas)
    return table + bytes(20) + bytes(names) + bytes(4)


def align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


class Executable:
    """The parts of a Huevane-like executable; tests change one, then call build()."""

    def __init__(self):
        self.machine = 0x14C
        self.magic = 0x10B
        self.subsystem = 2
        self.characteristics = 0x0102
        self.imports = ["ADVAPI32.dll", "COMCTL32.DLL", "COMDLG32.DLL", "GDI32.dll",
                        "KERNEL32.dll", "msvcrt.dll", "user32.dll"]
        self.version_fixed = [0x00010000, 0x00000001, 0x00010000, 0x00000001, 0x17, 0, 0x4, 1, 0, 0, 0]
        self.string_table = "080904E4"
        self.strings = [("CompanyName", "Korvell Software Ltd."), ("FileDescription", "A colour finding tool."),
                        ("FileVersion", "1.0"), ("InternalName", "Huev"), ("OriginalFilename", ""),
                        ("ProductName", "Huevane"), ("ProductVersion", "1.0"),
                        ("Comments", "http://www.korvell.example/"),
                        ("LegalCopyright", "Copyright (C) 2003 Korvell Software Ltd.")]
        self.translation = struct.pack("<HH", 0x0809, 0x04E4)
        self.manifest = MANIFEST.encode("utf-8")
        bitmap = struct.pack("<IiiHHIIiiII", 40, 4, 4, 1, 8, 0, 16, 0, 0, 0, 0) + bytes(1024 + 16)
        self.resources = {
            (5, 100, US): b"\xc0\x08\xc8\x80" + bytes(20),
            (5, 200, US): b"\x01\x00\xff\xff" + bytes(24),
            (2, 210, US): bitmap, (2, 211, US): bitmap, (2, 1103, US): bitmap,
            (1, 1, US): struct.pack("<HH", 15, 15) + icon_image(),
            (3, 2, US): icon_image(), (3, 3, US): icon_image(),
            (12, 1106, US): group_directory(2, [1]),
            (14, 1107, US): group_directory(1, [2]),
            (14, 1122, US): group_directory(1, [3]),
        }
        self.truncate_to = None

    def version_block(self):
        strings = [version_node(key, value, text=True) for key, value in self.strings]
        return version_node("VS_VERSION_INFO", fixed_file_info(self.version_fixed), children=[
            version_node("StringFileInfo", text=True, children=[
                version_node(self.string_table, text=True, children=strings)]),
            version_node("VarFileInfo", text=True, children=[version_node("Translation", self.translation)]),
        ])

    def build(self):
        resources = dict(self.resources)
        resources.setdefault((16, 1105, US), self.version_block())
        resources.setdefault((24, 1, US), self.manifest)
        resources = {key: value for key, value in resources.items() if value is not None}

        headers_size, file_alignment, section_alignment = 0x400, 0x200, 0x1000
        import_rva = section_alignment
        imports = import_section(self.imports, import_rva)
        resource_rva = import_rva + align(len(imports), section_alignment)
        rsrc = resource_section(resources, resource_rva)
        import_raw = headers_size
        resource_raw = import_raw + align(len(imports), file_alignment)
        image_size = resource_rva + align(len(rsrc), section_alignment)

        optional = bytearray(224)
        struct.pack_into("<H", optional, 0, self.magic)
        struct.pack_into("<III", optional, 28, 0x400000, section_alignment, file_alignment)
        struct.pack_into("<HH", optional, 48, 4, 0)
        struct.pack_into("<II", optional, 56, image_size, headers_size)
        struct.pack_into("<H", optional, 68, self.subsystem)
        struct.pack_into("<I", optional, 92, 16)
        struct.pack_into("<II", optional, 96 + 8 * 1, import_rva, len(imports))
        struct.pack_into("<II", optional, 96 + 8 * 2, resource_rva, len(rsrc))

        sections = b""
        for name, rva, body, raw in ((b".idata", import_rva, imports, import_raw),
                                     (b".rsrc", resource_rva, rsrc, resource_raw)):
            sections += struct.pack("<8sIIIIIIHHI", name, len(body), rva, align(len(body), file_alignment),
                                    raw, 0, 0, 0, 0, 0x40000040)

        dos = bytearray(64)
        dos[0:2] = b"MZ"
        struct.pack_into("<I", dos, 0x3C, 64)
        coff = struct.pack("<HHIIIHH", self.machine, 2, 0, 0, 0, len(optional), self.characteristics)
        head = bytes(dos) + b"PE\0\0" + coff + bytes(optional) + sections
        data = head + bytes(headers_size - len(head))
        data += imports + bytes(resource_raw - import_raw - len(imports))
        data += rsrc + bytes(align(len(rsrc), file_alignment) - len(rsrc))
        if self.truncate_to is not None:
            data = data[:int(len(data) * self.truncate_to)]
        return data


# --- The cases -----------------------------------------------------------------

def set_string(name, value):
    def change(exe):
        exe.strings = [(key, value if key == name else old) for key, old in exe.strings]
    return change


def set_manifest(old, new):
    def change(exe):
        assert old.encode() in exe.manifest, old
        exe.manifest = exe.manifest.replace(old.encode(), new.encode(), 1)
    return change


def set_attribute(**changes):
    def change(exe):
        for name, value in changes.items():
            setattr(exe, name, value)
    return change


def set_resource(key, value, moved_to=None):
    def change(exe):
        data = exe.resources.pop(key, None)
        if moved_to is not None:
            exe.resources[moved_to] = data
        if value is not None:
            exe.resources[key] = value
    return change


def set_fixed(index, value):
    def change(exe):
        exe.version_fixed[index] = value
    return change


def swap_strings(first, second):
    def change(exe):
        keys = [key for key, _ in exe.strings]
        i, j = keys.index(first), keys.index(second)
        exe.strings[i], exe.strings[j] = exe.strings[j], exe.strings[i]
    return change


def drop_string(name):
    def change(exe):
        exe.strings = [(key, value) for key, value in exe.strings if key != name]
    return change


def corrupt_version_length(exe):
    block = bytearray(exe.version_block())
    struct.pack_into("<H", block, 0, len(block) + 40)
    exe.resources[(16, 1105, US)] = bytes(block)


MOVED_DESCRIPTION = """<description>A colour-choosing tool for Windows.</description>
  <assemblyIdentity version="1.0.0.0" processorArchitecture="X86" name="KorvellSoftware.Huevane.Huevane" type="win32"/>"""
IDENTITY_THEN_DESCRIPTION = """<assemblyIdentity version="1.0.0.0" processorArchitecture="X86" name="KorvellSoftware.Huevane.Huevane" type="win32"/>
  <description>A colour-choosing tool for Windows.</description>"""

# (what is wrong, how to make it so, a word the fault message must contain)
BROKEN_CASES = [
    ("x86-64 machine", set_attribute(machine=0x8664), "machine"),
    ("PE32+ optional header", set_attribute(magic=0x20B), "PE32"),
    ("console subsystem", set_attribute(subsystem=3), "subsystem"),
    ("built as a DLL", set_attribute(characteristics=0x2102), "executable"),
    ("an extra system DLL", lambda exe: exe.imports.append("SHELL32.dll"), "SHELL32.DLL"),
    ("the UCRT's API sets", lambda exe: exe.imports.append("api-ms-win-crt-runtime-l1-1-0.dll"),
     "API-MS-WIN-CRT-RUNTIME"),
    ("a shared threads runtime", lambda exe: exe.imports.append("libwinpthread-1.dll"), "LIBWINPTHREAD-1.DLL"),
    ("ADVAPI32 not imported", lambda exe: exe.imports.remove("ADVAPI32.dll"), "does not import from: ADVAPI32"),
    ("no About dialog", set_resource((5, 200, US), None), "IDD_ABOUT"),
    ("banner under the UK language", set_resource((2, 1103, US), None, moved_to=(2, 1103, UK)), "0x0809"),
    ("group cursor without its image", set_resource((1, 1, US), None), "cursor 1106 lists image 1"),
    ("icon group without its image", set_resource((3, 3, US), None), "icon 1122 lists image 3"),
    ("a PNG file as a bitmap", set_resource((2, 211, US), b"\x89PNG\r\n\x1a\n" + bytes(32)), "bitmap 211"),
    ("no manifest", set_attribute(manifest=None), "manifest (type 24"),
    ("file version 1.0.0.2", set_fixed(1, 2), "file version"),
    ("flags mask 0x3f", set_fixed(4, 0x3F), "flags mask"),
    ("a dated version block", set_fixed(10, 1), "date"),
    ("US string table", set_attribute(string_table="040904B0"), "080904E4"),
    ("strings out of order", swap_strings("CompanyName", "FileDescription"), "in this order"),
    ("no copyright line", drop_string("LegalCopyright"), "in this order"),
    ("wrong description", set_string("FileDescription", "A colour picker."), "FileDescription"),
    ("original file name filled in", set_string("OriginalFilename", "Huevane.exe"), "OriginalFilename"),
    ("empty comments", set_string("Comments", ""), "Comments is empty"),
    ("comments not a web address", set_string("Comments", "Made in 2003"), "web address"),
    ("US translation", set_attribute(translation=struct.pack("<HH", 0x0409, 0x04B0)), "Translation"),
    ("version node longer than its block", corrupt_version_length, "version block"),
    ("manifest cut short", set_manifest("</assembly>", "</assem"), "well-formed"),
    ("manifest without a declaration",
     set_manifest('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>', ""), "XML declaration"),
    ("manifest not standalone", set_manifest('standalone="yes"', 'standalone="no"'), "standalone"),
    ("manifest in UTF-16 by declaration", set_manifest('encoding="UTF-8"', 'encoding="UTF-16"'), "encoding"),
    ("manifest elements out of order", set_manifest(IDENTITY_THEN_DESCRIPTION, MOVED_DESCRIPTION), "in this order"),
    ("manifest in another namespace", set_manifest("asm.v1", "asm.v3"), "namespace"),
    ("common controls version 5", set_manifest('version="6.0.0.0"', 'version="5.82.0.0"'), "version"),
    ("public key token too short", set_manifest('"0123456789abcdef"', '"0123456789abcde"'), "publicKeyToken"),
    ("description text changed", set_manifest("colour-choosing", "color-choosing"), "description"),
    ("file cut in half", set_attribute(truncate_to=0.5), "truncated"),
]


class CheckerTest(unittest.TestCase):

    def test_accepts_a_well_formed_executable(self):
        self.assertEqual(checker.check_executable(Executable().build()), [])

    def test_names_the_fault_in_each_broken_executable(self):
        for description, change, expected in BROKEN_CASES:
            with self.subTest(description):
                exe = Executable()
                change(exe)
                faults = checker.check_executable(exe.build())
                self.assertTrue(any(expected in fault for fault in faults),
                                "expected a fault mentioning %r, got %r" % (expected, faults))

    def test_reports_garbage_without_a_traceback(self):
        for description, data in [("empty file", b""), ("text file", b"#!/bin/sh\n"),
                                  ("MZ header only", b"MZ" + bytes(62)),
                                  ("PE offset past the end", b"MZ" + bytes(58) + struct.pack("<I", 0x7FFFFFFF))]:
            with self.subTest(description):
                faults = checker.check_executable(data)
                self.assertTrue(faults)

    def test_command_line_exit_status_and_messages(self):
        with tempfile.TemporaryDirectory() as directory:
            good = os.path.join(directory, "good.exe")
            bad = os.path.join(directory, "bad.exe")
            with open(good, "wb") as file:
                file.write(Executable().build())
            broken = Executable()
            broken.subsystem = 3
            broken.imports.append("SHELL32.dll")
            with open(bad, "wb") as file:
                file.write(broken.build())

            passed = subprocess.run([sys.executable, CHECKER_PATH, good], capture_output=True, text=True)
            self.assertEqual(passed.returncode, 0, passed.stderr)

            failed = subprocess.run([sys.executable, CHECKER_PATH, bad], capture_output=True, text=True)
            self.assertEqual(failed.returncode, 1)
            lines = failed.stderr.splitlines()
            self.assertEqual(len(lines), 2, failed.stderr)
            self.assertTrue(all(line.startswith(bad + ": ") for line in lines), failed.stderr)

            missing = subprocess.run([sys.executable, CHECKER_PATH, os.path.join(directory, "none.exe")],
                                     capture_output=True, text=True)
            self.assertEqual(missing.returncode, 1)
            self.assertIn("cannot read", missing.stderr)
            self.assertNotIn("Traceback", missing.stderr)


def load_checker(path):
    location = importlib.util.spec_from_file_location("check_windows_exe", path)
    module = importlib.util.module_from_spec(location)
    location.loader.exec_module(module)
    return module


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: test_check_windows_exe.py path/to/check_windows_exe.py")
    CHECKER_PATH = os.path.abspath(sys.argv.pop(1))
    checker = load_checker(CHECKER_PATH)
    unittest.main()
