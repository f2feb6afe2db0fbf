#!/usr/bin/env python3
"""Reads the resources out of a built Quorvel.exe and checks the panel's dialog template, its
background picture, the version information and the manifest against what the panel needs."""
import re
import struct
import sys

WS_POPUP, WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX = 0x80000000, 0x00C00000, 0x00080000, 0x00020000
WS_CHILD, WS_VISIBLE, WS_TABSTOP, WS_VSCROLL = 0x40000000, 0x10000000, 0x00010000, 0x00200000
DS_3DLOOK, DS_FIXEDSYS, DS_SETFONT, DS_MODALFRAME, DS_SETFOREGROUND = 0x4, 0x8, 0x40, 0x80, 0x200
WS_EX_TRANSPARENT = 0x20
SS_BITMAP, CBS_DROPDOWN = 0x0E, 0x02
BS_PUSHBUTTON, BS_AUTOCHECKBOX, BS_FLAT = 0x0, 0x3, 0x8000
BUTTON, STATIC, COMBOBOX = "BUTTON", "STATIC", "COMBOBOX"
# A template may name a predefined class by ordinal or by name.
CLASS_ORDINALS = {0x80: BUTTON, 0x82: STATIC, 0x85: COMBOBOX}
RT_BITMAP, RT_DIALOG, RT_VERSION, RT_MANIFEST = 2, 5, 16, 24

PUSH = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_FLAT
CHECK = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_FLAT
COMBO = WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWN | WS_VSCROLL

# id, class, text, style, extended style, x, y, w, h: in tab order
EXPECTED_CONTROLS = [
    (-1, STATIC, 132, WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0, 0, 320, 98),
    (1003, COMBOBOX, "", COMBO, 0, 227, 0, 81, 65),
    (1004, COMBOBOX, "", COMBO, 0, 227, 14, 81, 65),
    (1007, BUTTON, "1", PUSH, 0, 198, 80, 11, 9),
    (1008, BUTTON, "2", PUSH, 0, 217, 80, 11, 9),
    (1009, BUTTON, "3", PUSH, 0, 236, 80, 11, 9),
    (1010, BUTTON, "4", PUSH, 0, 255, 80, 11, 9),
    (1011, BUTTON, "5", PUSH, 0, 274, 80, 11, 9),
    (1012, BUTTON, "1", PUSH, 0, 5, 80, 11, 9),
    (1017, BUTTON, "2", PUSH, 0, 25, 80, 11, 9),
    (1018, BUTTON, "3", PUSH, 0, 46, 80, 11, 9),
    (1019, BUTTON, "4", PUSH, 0, 64, 80, 11, 9),
    (1020, BUTTON, "5", PUSH, 0, 83, 80, 11, 9),
    (1021, BUTTON, "6A", PUSH, 0, 103, 80, 11, 9),
    (1022, BUTTON, "6B", PUSH, 0, 122, 80, 11, 9),
    (1023, BUTTON, "7A", PUSH, 0, 141, 80, 11, 9),
    (1024, BUTTON, "7B", PUSH, 0, 160, 80, 11, 9),
    (1013, BUTTON, "", CHECK, WS_EX_TRANSPARENT, 296, 74, 8, 8),
    (1025, BUTTON, "", CHECK, WS_EX_TRANSPARENT, 181, 74, 8, 8),
    (1026, BUTTON, "up", PUSH, 0, 34, 36, 11, 9),
    (1027, BUTTON, "dn", PUSH, 0, 50, 36, 11, 10),
    (1005, COMBOBOX, "", COMBO, 0, 34, 14, 81, 65),
]
PANEL_STYLE = (WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |
               DS_SETFOREGROUND | DS_3DLOOK | DS_FIXEDSYS | DS_SETFONT)

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)


def resources(image):
    """Returns {(type, name): data} from the PE file's resource section."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections = struct.unpack_from("<H", image, pe + 6)[0]
    optional_size = struct.unpack_from("<H", image, pe + 20)[0]
    table = pe + 24 + optional_size
    rsrc = None
    for i in range(sections):
        name, vsize, rva, rawsize, rawptr = struct.unpack_from("<8sIIII", image, table + 40 * i)
        if name.rstrip(b"\0") == b".rsrc":
            rsrc = (rva, rawptr)
    if rsrc is None:
        sys.exit("no resource section")
    rva_base, raw_base = rsrc

    def entries(offset):
        named, ids = struct.unpack_from("<HH", image, raw_base + offset + 12)
        for i in range(named + ids):
            key, target = struct.unpack_from("<II", image, raw_base + offset + 16 + 8 * i)
            yield key, target

    found = {}
    for rtype, type_dir in entries(0):
        for rname, name_dir in entries(type_dir & 0x7FFFFFFF):
            for _, leaf in entries(name_dir & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from("<II", image, raw_base + leaf)
                start = data_rva - rva_base + raw_base
                found[(rtype, rname)] = image[start:start + size]
    return found


def read_sz_or_ordinal(data, at):
    if struct.unpack_from("<H", data, at)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def check_dialog(data):
    version, signature = struct.unpack_from("<HH", data, 0)
    expect((version, signature) == (1, 0xFFFF), "the panel is not a DIALOGEX template")
    _, exstyle, style, count, x, y, cx, cy = struct.unpack_from("<IIIHhhhh", data, 4)
    expect(style == PANEL_STYLE, f"panel style {style:#x}, wanted {PANEL_STYLE:#x}")
    expect((x, y, cx, cy) == (0, 0, 320, 98), f"panel size {(x, y, cx, cy)}")
    at = 26
    menu, at = read_sz_or_ordinal(data, at)
    window_class, at = read_sz_or_ordinal(data, at)
    caption, at = read_sz_or_ordinal(data, at)
    expect(menu == "" and window_class == "", "the panel has a menu or a class of its own")
    expect(caption == "Quorvel", f"caption {caption!r}")
    points, weight, italic, _ = struct.unpack_from("<HHBB", data, at)
    font, at = read_sz_or_ordinal(data, at + 6)
    expect((points, weight, italic, font) == (8, 400, 0, "MS Shell Dlg"),
           f"font {(points, weight, italic, font)}")
    expect(count == len(EXPECTED_CONTROLS), f"{count} controls, wanted {len(EXPECTED_CONTROLS)}")
    for index in range(count):
        at = (at + 3) & ~3
        _, exstyle, style, x, y, cx, cy, control_id = struct.unpack_from("<IIIhhhhi", data, at)
        control_class, at = read_sz_or_ordinal(data, at + 24)
        control_class = CLASS_ORDINALS.get(control_class, str(control_class).upper())
        text, at = read_sz_or_ordinal(data, at)
        extra = struct.unpack_from("<H", data, at)[0]
        at += 2 + extra
        got = (control_id, control_class, text, style, exstyle, x, y, cx, cy)
        if index < len(EXPECTED_CONTROLS):
            expect(got == EXPECTED_CONTROLS[index],
                   f"control {index + 1}: {got}, wanted {EXPECTED_CONTROLS[index]}")


def check_bitmap(data):
    size, width, height, planes, bits, compression, _, _, _, used, _ = struct.unpack_from(
        "<IiiHHIIiiII", data, 0)
    expect((width, height, bits, compression) == (480, 160, 8, 0),
           f"picture {width}x{height}, {bits} bits, compression {compression}")
    expect(used == 255, f"palette of {used} entries, wanted 255")
    expect(len(data) == size + 4 * used + 480 * 160, "picture data size does not match its header")


def main():
    image = open(sys.argv[1], "rb").read()
    found = resources(image)
    expect((RT_DIALOG, 129) in found, "no dialog 129")
    expect((RT_BITMAP, 132) in found, "no bitmap 132")
    if (RT_DIALOG, 129) in found:
        check_dialog(found[(RT_DIALOG, 129)])
    if (RT_BITMAP, 132) in found:
        check_bitmap(found[(RT_BITMAP, 132)])
    version = found.get((RT_VERSION, 1), b"")
    expect("Quorvel.exe".encode("utf-16-le") in version, "no version information")
    manifests = [data for (rtype, _), data in found.items() if rtype == RT_MANIFEST]
    expect(len(manifests) == 1, f"{len(manifests)} manifests, wanted one")
    if manifests:
        text = manifests[0].decode("utf-8")
        expect(re.search(r'requestedExecutionLevel\s+level="asInvoker"', text) is not None,
               "the manifest does not ask for asInvoker")
        expect("Microsoft.Windows.Common-Controls" not in text,
               "the manifest switches the controls to the themed look")
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(found)} resources read, {len(failures)} failures")
    sys.exit(1 if failures else 0)


main()
