#!/usr/bin/env python3
"""Checks a built Quorvel.exe the way the Windows loader reads it, stricter than Wine: machine
and GUI subsystem, the oldest Windows it claims, terminal-server aware, no build time stamp,
nothing that lets the program's folder be searched for a DLL (below), an embedded manifest that
Windows' side-by-side parser accepts, a panel picture it can load, and the program's icon.

Windows looks for a DLL that is not a Known DLL in the program's own folder first, so anything
the loader resolves before WinMain runs must be a Known DLL (or comctl32, where the manifest
redirects it side by side). Quorvel loads winmm and comctl32 itself, from the system folder
(app/SystemLibraries.cpp): so no other static import, no delay-load (MinGW's helper loads by
the default search, the program's folder first), and the name SetDefaultDllDirectories in the
exe, which the program asks for to keep every later load by name in the system folder. That the
loads at run time come from there is proven under Wine, with a planted winmm.dll beside the exe
(tests/e2e/test_planted_dll.py).
Usage: check-exe.py EXE i686|x86_64"""
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

RESOURCE_IDS = {m[1]: int(m[2]) for m in re.finditer(
    r"^#define (ID[BI]_\w+) (\d+)$", (Path(__file__).resolve().parents[1] / "panel" /
                                     "resource.h").read_text(), re.M)}
IDB_BACKGROUND, IDI_QUORVEL = RESOURCE_IDS["IDB_BACKGROUND"], RESOURCE_IDS["IDI_QUORVEL"]
MACHINES = {"i686": 0x14C, "x86_64": 0x8664}
# Known DLLs on every Windows from Vista to 11 (HKLM\SYSTEM\CurrentControlSet\Control\Session
# Manager\KnownDLLs), of those a program like this may import. Not winmm, not comctl32.
KNOWN_DLLS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL", "MSVCRT.DLL"}
COMMON_CONTROLS = "Microsoft.Windows.Common-Controls"
IMPORTS, RESOURCES = 1, 2
ASM_V1, ASM_V3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
RT_BITMAP, RT_GROUP_ICON, RT_MANIFEST, MANIFEST_ID = 2, 14, 24, 1
TERMINAL_SERVER_AWARE = 0x8000

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)


image = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", image, 0x3C)[0]
machine, section_count, time_stamp = struct.unpack_from("<HHI", image, pe + 4)
optional = pe + 24
wide = struct.unpack_from("<H", image, optional)[0] == 0x20B
os_version = struct.unpack_from("<HH", image, optional + 40)
subsystem_version = struct.unpack_from("<HH", image, optional + 48)
subsystem, dll_characteristics = struct.unpack_from("<HH", image, optional + 68)
directories = optional + (112 if wide else 96)
table = optional + struct.unpack_from("<H", image, pe + 20)[0]
sections = [struct.unpack_from("<IIII", image, table + 40 * i + 8) for i in range(section_count)]


def offset(rva):
    for size, start, _, raw in sections:  # virtual size, address, raw size, file offset
        if start <= rva < start + max(size, 1):
            return raw + rva - start
    raise SystemExit(f"address {rva:#x} is in no section")


def directory(index):
    return struct.unpack_from("<I", image, directories + 8 * index)[0]


def c_string(at):
    return image[at:image.index(b"\0", at)].decode()


expect(machine == MACHINES[sys.argv[2]], f"machine {machine:#x}, wanted {sys.argv[2]}")
expect(subsystem == 2, f"subsystem {subsystem}, wanted the Windows GUI")
# SRW locks arrived with Windows Vista.
expect(subsystem_version == (6, 0) and os_version == (6, 0),
       f"claims Windows {subsystem_version} / {os_version}, wanted Vista, 6.0")
expect(dll_characteristics & TERMINAL_SERVER_AWARE, "not marked terminal-server aware")
expect(time_stamp == 0, f"build time stamp {time_stamp:#x} in the header, wanted none")

imports = set()
descriptor = offset(directory(IMPORTS))
while struct.unpack_from("<I", image, descriptor + 12)[0]:
    imports.add(c_string(offset(struct.unpack_from("<I", image, descriptor + 12)[0])).upper())
    descriptor += 20

# A delay-load descriptor names its DLL by its address in the image, or, in the old form (its
# attributes' low bit clear), by its address in memory. The delay-import directory lists them,
# but GNU ld leaves it empty for dlltool's delay-load libraries, so every descriptor is looked
# for itself: a DLL name's address after the attributes, then three addresses in the image
# (the module handle, the import address table and the name table).
image_base = struct.unpack_from("<Q" if wide else "<I", image, optional + (24 if wide else 28))[0]


def rva_of(at):
    for size, start, raw_size, raw in sections:
        if raw <= at < raw + raw_size:
            return start + at - raw
    return None


def in_image(rva):
    return any(start <= rva < start + max(size, 1) for size, start, _, _ in sections)


def delay_loaded():
    names = set()
    for match in re.finditer(rb"(?<=\0)[A-Za-z0-9_.-]+\.dll(?=\0)", image, re.I):
        rva = rva_of(match.start())
        if rva is None:
            continue
        for attributes, address in ((1, rva), (0, rva + image_base)):
            if (address >> 32) and not wide:
                continue
            pattern = struct.pack("<II", attributes, address & 0xFFFFFFFF)
            for hit in re.finditer(re.escape(pattern), image):
                rest = struct.unpack_from("<III", image, hit.end()) \
                    if hit.end() + 12 <= len(image) else ()
                based = 0 if attributes else image_base
                if rest and all(value and in_image(value - based) for value in rest):
                    names.add(match.group().decode())
    return sorted(names)


delay_loads = delay_loaded()
resources = {}
base = offset(directory(RESOURCES)) if directory(RESOURCES) else None


def walk(at, path):
    named, ids = struct.unpack_from("<HH", image, at + 12)
    for i in range(named + ids):
        key, target = struct.unpack_from("<II", image, at + 16 + 8 * i)
        if target & 0x80000000:
            walk(base + (target & 0x7FFFFFFF), path + (key,))
        else:
            rva, size = struct.unpack_from("<II", image, base + target)
            resources[path[:2]] = image[offset(rva):offset(rva) + size]


if base is not None:
    walk(base, ())

manifest = resources.get((RT_MANIFEST, MANIFEST_ID), b"")
side_by_side = set()  # what the manifest redirects: only then is comctl32 not looked for beside
try:
    root = ElementTree.fromstring(manifest)
    identity = root.find(ASM_V1 + "assemblyIdentity")
    expect(identity is not None and identity.get("type") and identity.get("name"),
           "assemblyIdentity lacks its type or name")
    version = identity.get("version", "") if identity is not None else ""
    expect(re.fullmatch(r"\d+\.\d+\.\d+\.\d+", version)
           and all(int(part) <= 65535 for part in version.split(".")),
           f"assemblyIdentity version {version!r} is not four numbers of 0-65535")
    levels = [e.get("level") for e in root.iter(ASM_V3 + "requestedExecutionLevel")]
    expect(levels == ["asInvoker"], f"requestedExecutionLevel {levels}")
    side_by_side = {identity.get("name") for dependent in root.iter(ASM_V1 + "dependentAssembly")
                    for identity in dependent.iter(ASM_V1 + "assemblyIdentity")}
except ElementTree.ParseError as error:
    failures.append(f"the manifest is not well-formed XML: {error}")

allowed = KNOWN_DLLS | ({"COMCTL32.DLL"} if COMMON_CONTROLS in side_by_side else set())
expect(imports <= allowed, f"imports {sorted(imports - allowed)}, which Windows looks for in "
       f"the program's folder first: only Known DLLs may be imported")
expect({"KERNEL32.DLL", "USER32.DLL"} <= imports, f"imports {sorted(imports)}: not the table of a "
       f"Windows program")
expect(not delay_loads, f"delay-loads {delay_loads}, which MinGW's helper loads by the default "
       f"search, the program's folder first")
expect(b"SetDefaultDllDirectories\0" in image,
       "never asks for SetDefaultDllDirectories: later loads by name are not kept to the "
       "system folder")

# The loader refuses a truncated picture that Wine would draw as whatever follows it.
picture = resources.get((RT_BITMAP, IDB_BACKGROUND), b"")
header = struct.unpack_from("<IiiHHI12xI", picture) if len(picture) >= 40 else ()
expect(header[:5] == (40, 480, 160, 1, 8) and header[6] == 255 and
       len(picture) >= 40 + 4 * 255 + 480 * 160, f"panel picture header {header}")

# Explorer and the taskbar show the first icon group of the exe: ours is its only one.
icons = [key for key in resources if key[0] == RT_GROUP_ICON]
expect(icons == [(RT_GROUP_ICON, IDI_QUORVEL)], f"icon groups {icons}")

print("imports:", *sorted(imports))
print("delay-loads:", *(delay_loads or ["none"]))
print("\n".join(failures) or "the exe is what Windows expects")
sys.exit(1 if failures else 0)
