#!/usr/bin/env python3
"""Checks a built Quorvel.exe the way the Windows loader reads it, stricter than Wine: machine
and GUI subsystem, the oldest Windows it claims, terminal-server aware, no build time stamp,
only system DLLs imported, an embedded manifest that Windows' side-by-side parser accepts, a
panel picture it can load, and the program's icon.
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
SYSTEM_DLLS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "WINMM.DLL", "MSVCRT.DLL", "COMCTL32.DLL"}
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
descriptor = offset(directory(1))
while struct.unpack_from("<I", image, descriptor + 12)[0]:
    imports.add(c_string(offset(struct.unpack_from("<I", image, descriptor + 12)[0])).upper())
    descriptor += 20
expect(imports <= SYSTEM_DLLS and {"KERNEL32.DLL", "USER32.DLL", "WINMM.DLL"} <= imports,
       f"imports {sorted(imports)}")

resources = {}
base = offset(directory(2))


def walk(at, path):
    named, ids = struct.unpack_from("<HH", image, at + 12)
    for i in range(named + ids):
        key, target = struct.unpack_from("<II", image, at + 16 + 8 * i)
        if target & 0x80000000:
            walk(base + (target & 0x7FFFFFFF), path + (key,))
        else:
            rva, size = struct.unpack_from("<II", image, base + target)
            resources[path[:2]] = image[offset(rva):offset(rva) + size]


walk(base, ())

manifest = resources.get((RT_MANIFEST, MANIFEST_ID), b"")
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
except ElementTree.ParseError as error:
    failures.append(f"the manifest is not well-formed XML: {error}")

# The loader refuses a truncated picture that Wine would draw as whatever follows it.
picture = resources.get((RT_BITMAP, IDB_BACKGROUND), b"")
header = struct.unpack_from("<IiiHHI12xI", picture) if len(picture) >= 40 else ()
expect(header[:5] == (40, 480, 160, 1, 8) and header[6] == 255 and
       len(picture) >= 40 + 4 * 255 + 480 * 160, f"panel picture header {header}")

# Explorer and the taskbar show the first icon group of the exe: ours is its only one.
icons = [key for key in resources if key[0] == RT_GROUP_ICON]
expect(icons == [(RT_GROUP_ICON, IDI_QUORVEL)], f"icon groups {icons}")

print("imports:", *sorted(imports))
print("\n".join(failures) or "the exe is what Windows expects")
sys.exit(1 if failures else 0)
