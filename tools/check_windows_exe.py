#!/usr/bin/env python3
"""Checks that a built Huevane.exe is the executable Windows expects.

Reads the file with its own small PE reader (no objdump, no Windows): the
machine, the optional header, the import directory and the resource tree,
then the version block and the manifest inside it. Every offset and size is
checked against the file, so a truncated or damaged file gives a message, not
a traceback. Code is never disassembled and the program is never run.

Usage: check_windows_exe.py path/to/Huevane.exe
Exit status 0 when every check passes; 1 with one line per fault otherwise.
"""

import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

MACHINE_I386 = 0x14C
OPTIONAL_MAGIC_PE32 = 0x10B
SUBSYSTEM_WINDOWS_GUI = 2
FILE_EXECUTABLE_IMAGE = 0x0002
FILE_DLL = 0x2000
DIRECTORY_IMPORT = 1
DIRECTORY_RESOURCE = 2
DIRECTORY_DELAY_IMPORT = 13

RT_CURSOR = 1
RT_BITMAP = 2
RT_ICON = 3
RT_DIALOG = 5
RT_GROUP_CURSOR = 12
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24

LANGUAGE_ENGLISH_US = 0x0409

REQUIRED_IMPORTS = ["USER32.DLL", "GDI32.DLL", "COMCTL32.DLL", "COMDLG32.DLL", "ADVAPI32.DLL", "KERNEL32.DLL"]
ALLOWED_IMPORTS = REQUIRED_IMPORTS + ["MSVCRT.DLL"]

# (type, identifier, what the program loads it as)
REQUIRED_RESOURCES = [
    (RT_DIALOG, 100, "dialog IDD_MAIN"),
    (RT_DIALOG, 200, "dialog IDD_ABOUT"),
    (RT_BITMAP, 210, "bitmap IDB_HUEVLOGO"),
    (RT_BITMAP, 211, "bitmap IDB_KWSLOGO"),
    (RT_BITMAP, 1103, "bitmap IDB_TOPLOGO"),
    (RT_VERSION, 1105, "version block IDR_VERSION"),
    (RT_GROUP_CURSOR, 1106, "cursor IDCUR_TARGET"),
    (RT_GROUP_ICON, 1107, "icon IDI_APP"),
    (RT_GROUP_ICON, 1122, "icon IDI_TARGET"),
    (RT_MANIFEST, 1, "manifest"),
]

VERSION_SIGNATURE = 0xFEEF04BD
# Field of VS_FIXEDFILEINFO after dwSignature and dwStrucVersion, and its value.
VERSION_FIXED_FIELDS = [
    ("file version", lambda f: f[2:4], [(1 << 16) | 0, (0 << 16) | 1], "1.0.0.1"),
    ("product version", lambda f: f[4:6], [(1 << 16) | 0, (0 << 16) | 1], "1.0.0.1"),
    ("flags mask", lambda f: f[6:7], [0x17], "0x17"),
    ("flags", lambda f: f[7:8], [0], "0"),
    ("operating system", lambda f: f[8:9], [0x4], "0x4"),
    ("file type", lambda f: f[9:10], [1], "1"),
    ("file subtype", lambda f: f[10:11], [0], "0"),
    ("date", lambda f: f[11:13], [0, 0], "0"),
]
VERSION_STRING_TABLE = "080904E4"
# Values of None are only required to be present and non-empty (checked below).
VERSION_STRINGS = [
    ("CompanyName", "Korvell Software Ltd."),
    ("FileDescription", "A colour finding tool."),
    ("FileVersion", "1.0"),
    ("InternalName", "Huev"),
    ("OriginalFilename", ""),
    ("ProductName", "Huevane"),
    ("ProductVersion", "1.0"),
    ("Comments", None),
    ("LegalCopyright", None),
]
VERSION_TRANSLATION = (0x0809, 0x04E4)
WEB_ADDRESS = re.compile(r"^(https?://|www\.)[^\s/]+\.[^\s]+$")

ASSEMBLY_NAMESPACE = "urn:schemas-microsoft-com:asm.v1"
# The manifest as a tree of (element, attributes or text, children), in order.
MANIFEST_LAYOUT = (
    "assembly", {"manifestVersion": "1.0"}, [
        ("assemblyIdentity", {"version": "1.0.0.0", "processorArchitecture": "X86",
                              "name": "KorvellSoftware.Huevane.Huevane", "type": "win32"}, []),
        ("description", "A colour-choosing tool for Windows.", []),
        ("dependency", {}, [
            ("dependentAssembly", {}, [
                ("assemblyIdentity", {"type": "win32", "name": "Microsoft.Windows.Common-Controls",
                                      "version": "6.0.0.0", "processorArchitecture": "X86",
                                      "publicKeyToken": re.compile(r"^[0-9a-fA-F]{16}$"),
                                      "language": "*"}, []),
            ]),
        ]),
    ])
XML_DECLARATION = re.compile(rb"^(?:\xef\xbb\xbf)?<\?xml(?P<attributes>[^?]*)\?>")
XML_DECLARATION_ATTRIBUTE = re.compile(r"""\s*([A-Za-z]+)\s*=\s*(?:"([^"]*)"|'([^']*)')""")


class BadFile(Exception):
    """The file's structure is damaged: nothing further can be read."""


class PeImage:
    """A PE file's headers and the mapping from addresses (RVAs) to file offsets."""

    def __init__(self, data):
        self.data = data
        if self.read(0, 2) != b"MZ":
            raise BadFile("not an executable: no MZ header")
        (pe_offset,) = self.unpack("<I", 0x3C)
        if self.read(pe_offset, 4) != b"PE\0\0":
            raise BadFile("no PE signature at offset 0x%x" % pe_offset)
        (self.machine, section_count, _, _, _, optional_size,
         self.characteristics) = self.unpack("<HHIIIHH", pe_offset + 4)
        optional = pe_offset + 24
        (self.optional_magic,) = self.unpack("<H", optional)
        self.subsystem = None
        self.directories = []
        if self.optional_magic == OPTIONAL_MAGIC_PE32:
            if optional_size < 96:
                raise BadFile("optional header too short (%d bytes)" % optional_size)
            (self.subsystem,) = self.unpack("<H", optional + 68)
            (directory_count,) = self.unpack("<I", optional + 92)
            directory_count = min(directory_count, (optional_size - 96) // 8)
            self.directories = [self.unpack("<II", optional + 96 + 8 * index)
                                for index in range(directory_count)]
        self.sections = []
        table = optional + optional_size
        for index in range(section_count):
            name, virtual_size, address, raw_size, raw_offset = self.unpack("<8sIIII", table + 40 * index)
            self.sections.append((name.rstrip(b"\0").decode("latin-1"), address,
                                  max(virtual_size, raw_size), raw_offset, raw_size))

    def read(self, offset, size):
        if offset < 0 or size < 0 or offset + size > len(self.data):
            raise BadFile("file truncated: %d bytes wanted at offset 0x%x, the file has %d"
                          % (size, offset, len(self.data)))
        return self.data[offset:offset + size]

    def unpack(self, layout, offset):
        return struct.unpack(layout, self.read(offset, struct.calcsize(layout)))

    def offset_of(self, rva, size=1):
        """File offset of `size` bytes at `rva`; they must be inside one section's file data."""
        for name, address, extent, raw_offset, raw_size in self.sections:
            if address <= rva < address + extent:
                if rva + size > address + raw_size:
                    raise BadFile("address 0x%x (+%d) runs past the file data of section %s"
                                  % (rva, size, name))
                return raw_offset + (rva - address)
        raise BadFile("address 0x%x is in no section" % rva)

    def read_rva(self, rva, size):
        return self.read(self.offset_of(rva, size), size)

    def read_ascii_rva(self, rva, limit=256):
        offset = self.offset_of(rva)
        end = self.data.find(b"\0", offset, offset + limit)
        if end < 0:
            raise BadFile("unterminated name at address 0x%x" % rva)
        return self.data[offset:end].decode("latin-1")

    def directory(self, index):
        if index < len(self.directories):
            return self.directories[index]
        return (0, 0)


def read_import_names(image):
    """DLL names of the import directory and the delay-load directory."""
    names = []
    for index, entry_size, name_field in ((DIRECTORY_IMPORT, 20, 12), (DIRECTORY_DELAY_IMPORT, 32, 4)):
        rva, _ = image.directory(index)
        if rva == 0:
            continue
        for position in range(4096):
            entry = image.read_rva(rva + entry_size * position, entry_size)
            if entry == bytes(entry_size):
                break
            (name_rva,) = struct.unpack_from("<I", entry, name_field)
            names.append(image.read_ascii_rva(name_rva))
        else:
            raise BadFile("import directory has no terminating entry")
    return names


class ResourceTree:
    """The resource directory's three levels: type, name, language -> data bytes."""

    def __init__(self, image):
        self.image = image
        self.entries = {}
        self.base, size = image.directory(DIRECTORY_RESOURCE)
        if self.base == 0 or size == 0:
            return
        for type_key, type_offset in self.read_directory(0x80000000):
            for name_key, name_offset in self.read_directory(type_offset):
                for language_key, data_offset in self.read_directory(name_offset):
                    self.entries[(type_key, name_key, language_key)] = self.read_data(data_offset)

    def read_directory(self, offset):
        if offset & 0x80000000 == 0:
            raise BadFile("resource directory entry at 0x%x points at data, not a directory" % offset)
        offset &= 0x7FFFFFFF
        named, numbered = struct.unpack("<HH", self.image.read_rva(self.base + offset + 12, 4))
        children = []
        for index in range(named + numbered):
            key, target = struct.unpack("<II", self.image.read_rva(self.base + offset + 16 + 8 * index, 8))
            if key & 0x80000000:
                key = self.read_name(key & 0x7FFFFFFF)
            children.append((key, target))
        return children

    def read_name(self, offset):
        (length,) = struct.unpack("<H", self.image.read_rva(self.base + offset, 2))
        return self.image.read_rva(self.base + offset + 2, 2 * length).decode("utf-16-le", "replace").upper()

    def read_data(self, offset):
        if offset & 0x80000000:
            raise BadFile("resource language entry points at a directory, not data")
        rva, size, _, _ = struct.unpack("<IIII", self.image.read_rva(self.base + offset, 16))
        return self.image.read_rva(rva, size)

    def find(self, resource_type, name, language=None):
        for (entry_type, entry_name, entry_language), data in self.entries.items():
            if entry_type == resource_type and entry_name == name and language in (None, entry_language):
                return data
        return None

    def languages(self, resource_type, name):
        return sorted(language for (entry_type, entry_name, language) in self.entries
                      if entry_type == resource_type and entry_name == name)


class VersionNode:
    """One node of a version block: key, value bytes, text flag, children."""

    def __init__(self, data, offset, end):
        if offset + 6 > end:
            raise BadFile("version block: node header at 0x%x runs past its parent" % offset)
        length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
        node_end = offset + length
        if length < 6 or node_end > end:
            raise BadFile("version block: node at 0x%x has length %d, past its parent" % (offset, length))
        key_end = offset + 6
        while True:
            if key_end + 2 > node_end:
                raise BadFile("version block: unterminated key at 0x%x" % offset)
            if data[key_end:key_end + 2] == b"\0\0":
                break
            key_end += 2
        self.key = data[offset + 6:key_end].decode("utf-16-le", "replace")
        self.is_text = value_type == 1
        value_start = align4(key_end + 2)
        value_size = value_length * 2 if self.is_text else value_length
        if value_start + value_size > node_end:
            raise BadFile("version block: value of %r runs past its node" % self.key)
        self.value = data[value_start:value_start + value_size]
        self.children = []
        child = align4(value_start + value_size)
        while child < node_end:
            node = VersionNode(data, child, node_end)
            self.children.append(node)
            child = align4(child + node.length)
        self.length = length

    def text(self):
        return self.value.decode("utf-16-le", "replace").split("\0", 1)[0]

    def child(self, key):
        return next((node for node in self.children if node.key == key), None)


def align4(offset):
    return (offset + 3) & ~3


def check_headers(image, faults):
    if image.machine != MACHINE_I386:
        faults.append("machine is 0x%x, not i386 (0x14c)" % image.machine)
    if image.optional_magic != OPTIONAL_MAGIC_PE32:
        faults.append("optional header magic is 0x%x, not PE32 (0x10b)" % image.optional_magic)
    elif image.subsystem != SUBSYSTEM_WINDOWS_GUI:
        faults.append("subsystem is %d, not the Windows GUI (2)" % image.subsystem)
    if not image.characteristics & FILE_EXECUTABLE_IMAGE or image.characteristics & FILE_DLL:
        faults.append("file characteristics 0x%x do not describe an executable" % image.characteristics)


def check_imports(image, faults):
    names = [name.upper() for name in read_import_names(image)]
    extra = sorted(set(name for name in names if name not in ALLOWED_IMPORTS))
    missing = [name for name in REQUIRED_IMPORTS if name not in names]
    if extra:
        faults.append("imports from DLLs outside the system set: %s" % ", ".join(extra))
    if missing:
        faults.append("does not import from: %s" % ", ".join(missing))


def check_resources(resources, faults):
    for resource_type, name, what in REQUIRED_RESOURCES:
        if resources.find(resource_type, name, LANGUAGE_ENGLISH_US) is None:
            found = resources.languages(resource_type, name)
            where = (" (only under language %s)" % ", ".join("0x%04x" % language for language in found)
                     if found else "")
            faults.append("resource missing: %s (type %d, id %d, language 0x0409)%s"
                          % (what, resource_type, name, where))
    for group_type, member_type, name in ((RT_GROUP_CURSOR, RT_CURSOR, 1106),
                                          (RT_GROUP_ICON, RT_ICON, 1107), (RT_GROUP_ICON, RT_ICON, 1122)):
        group = resources.find(group_type, name, LANGUAGE_ENGLISH_US)
        if group is not None:
            check_group(resources, group, group_type, member_type, name, faults)
    for name in (210, 211, 1103):
        bitmap = resources.find(RT_BITMAP, name, LANGUAGE_ENGLISH_US)
        if bitmap is not None:
            header_size = struct.unpack_from("<I", bitmap)[0] if len(bitmap) >= 4 else 0
            if header_size not in (12, 40, 52, 56, 108, 124):
                faults.append("bitmap %d does not start with a bitmap header (first field %d)" % (name, header_size))


def check_group(resources, group, group_type, member_type, name, faults):
    """A group icon or cursor lists its images by id; each must be there to load."""
    kind = "cursor" if group_type == RT_GROUP_CURSOR else "icon"
    if len(group) < 6:
        faults.append("group %s %d is %d bytes, shorter than its header" % (kind, name, len(group)))
        return
    reserved, group_kind, count = struct.unpack_from("<HHH", group)
    if reserved != 0 or group_kind != (2 if kind == "cursor" else 1) or count == 0:
        faults.append("group %s %d has a bad header (reserved %d, type %d, count %d)"
                      % (kind, name, reserved, group_kind, count))
        return
    if len(group) < 6 + 14 * count:
        faults.append("group %s %d lists %d images but holds only %d bytes" % (kind, name, count, len(group)))
        return
    for index in range(count):
        (member,) = struct.unpack_from("<H", group, 6 + 14 * index + 12)
        if resources.find(member_type, member) is None:
            faults.append("group %s %d lists image %d, which is not in the file" % (kind, name, member))


def check_version(resources, faults):
    data = resources.find(RT_VERSION, 1105, LANGUAGE_ENGLISH_US)
    if data is None:
        return
    root = VersionNode(data, 0, len(data))
    if root.key != "VS_VERSION_INFO":
        faults.append("version block key is %r, not VS_VERSION_INFO" % root.key)
    if len(root.value) < 52:
        faults.append("version block has no fixed part (%d bytes of value)" % len(root.value))
    else:
        fixed = struct.unpack_from("<13I", root.value)
        if fixed[0] != VERSION_SIGNATURE:
            faults.append("version block fixed part has signature 0x%08x, not 0xfeef04bd" % fixed[0])
        for label, pick, expected, shown in VERSION_FIXED_FIELDS:
            if list(pick(fixed)) != expected:
                faults.append("version block %s is %s, not %s"
                              % (label, " ".join("0x%08x" % value for value in pick(fixed)), shown))

    string_info = root.child("StringFileInfo")
    table = string_info.child(VERSION_STRING_TABLE) if string_info else None
    if table is None:
        tables = [node.key for node in string_info.children] if string_info else []
        faults.append("version block has no string table %s (tables: %s)"
                      % (VERSION_STRING_TABLE, ", ".join(tables) or "none"))
    else:
        check_version_strings(table, faults)

    variable_info = root.child("VarFileInfo")
    translation = variable_info.child("Translation") if variable_info else None
    if translation is None:
        faults.append("version block has no VarFileInfo Translation")
    else:
        pairs = [struct.unpack_from("<HH", translation.value, offset)
                 for offset in range(0, len(translation.value) - 3, 4)]
        if pairs != [VERSION_TRANSLATION]:
            faults.append("version block Translation is %s, not 0x0809/0x04e4"
                          % (" ".join("0x%04x/0x%04x" % pair for pair in pairs) or "empty"))


def check_version_strings(table, faults):
    keys = [node.key for node in table.children]
    wanted = [key for key, _ in VERSION_STRINGS]
    if keys != wanted:
        faults.append("version strings are %s; wanted, in this order: %s" % (", ".join(keys), ", ".join(wanted)))
    for key, expected in VERSION_STRINGS:
        node = table.child(key)
        if node is None:
            continue
        value = node.text()
        if not node.is_text and node.value:
            faults.append("version string %s is stored as binary data, not text" % key)
        elif expected is not None and value != expected:
            faults.append("version string %s is %r, not %r" % (key, value, expected))
        elif expected is None and not value.strip():
            faults.append("version string %s is empty" % key)
        elif key == "Comments" and not WEB_ADDRESS.match(value):
            faults.append("version string Comments is %r, not a web address" % value)


def check_manifest(resources, faults):
    data = resources.find(RT_MANIFEST, 1, LANGUAGE_ENGLISH_US)
    if data is None:
        return
    declaration = XML_DECLARATION.match(data)
    if not declaration:
        faults.append("manifest does not start with an XML declaration")
    else:
        attributes = {match.group(1): match.group(2) if match.group(2) is not None else match.group(3)
                      for match in XML_DECLARATION_ATTRIBUTE.finditer(declaration.group("attributes").decode("latin-1"))}
        for name, expected in (("version", "1.0"), ("encoding", "utf-8"), ("standalone", "yes")):
            value = attributes.get(name)
            if value is None or value.lower() != expected:
                faults.append("manifest XML declaration has %s=%r, not %r" % (name, value, expected))
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        faults.append("manifest is not well-formed XML: %s" % error)
        return
    check_manifest_element(root, MANIFEST_LAYOUT, "", faults)


def check_manifest_element(element, layout, parent_path, faults):
    name, content, children = layout
    path = parent_path + "/" + name
    if element.tag != "{%s}%s" % (ASSEMBLY_NAMESPACE, name):
        faults.append("manifest has <%s> where %s (namespace %s) belongs" % (element.tag, path, ASSEMBLY_NAMESPACE))
        return
    if isinstance(content, str):
        if (element.text or "").strip() != content:
            faults.append("manifest %s text is %r, not %r" % (path, element.text, content))
        attributes = {}
    else:
        attributes = content
    for attribute, expected in attributes.items():
        value = element.get(attribute)
        matches = value is not None and (expected.match(value) if hasattr(expected, "match") else value == expected)
        if not matches:
            wanted = "16 hex digits" if hasattr(expected, "match") else repr(expected)
            faults.append("manifest %s %s is %r, not %s" % (path, attribute, value, wanted))
    unexpected = sorted(set(element.keys()) - set(attributes))
    if unexpected:
        faults.append("manifest %s has unexpected attributes: %s" % (path, ", ".join(unexpected)))
    found = list(element)
    local_names = [child.tag.rsplit("}", 1)[-1] for child in found]
    wanted_names = [child[0] for child in children]
    if local_names != wanted_names:
        faults.append("manifest %s holds %s; wanted, in this order: %s"
                      % (path, ", ".join(local_names) or "nothing", ", ".join(wanted_names) or "nothing"))
        return
    for child, child_layout in zip(found, children):
        check_manifest_element(child, child_layout, path, faults)


def check_executable(data):
    """Every fault found in the executable's bytes, as sentences; empty when it is right."""
    faults = []
    try:
        image = PeImage(data)
        check_headers(image, faults)
        check_imports(image, faults)
        resources = ResourceTree(image)
        if not resources.entries:
            faults.append("the executable has no resources")
            return faults
        check_resources(resources, faults)
        check_version(resources, faults)
        check_manifest(resources, faults)
    except BadFile as error:
        faults.append(str(error))
    return faults


def main(arguments):
    if len(arguments) != 1:
        print("usage: check_windows_exe.py path/to/Huevane.exe", file=sys.stderr)
        return 2
    path = arguments[0]
    try:
        with open(path, "rb") as file:
            data = file.read()
    except OSError as error:
        print("%s: cannot read: %s" % (path, error.strerror), file=sys.stderr)
        return 1
    faults = check_executable(data)
    if faults:
        for fault in faults:
            print("%s: %s" % (path, fault), file=sys.stderr)
        return 1
    print("%s: 32-bit Windows GUI executable; imports, resources, version block and manifest as expected" % path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
