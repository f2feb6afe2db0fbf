"""Names and numbers read from the C++ headers that the program and the virtual driver are built
from: a code or an id is written there once, and the harness reads it."""
import re
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]


def _text(relative):
    return (ROOT / relative).read_text()


def upper_snake(camel):
    """"InputOpenFailed" -> "INPUT_OPEN_FAILED"."""
    return re.sub(r"(?<=[a-z0-9])(?=[A-Z])", "_", camel).upper()


def defines(relative):
    """#define NAME number, (number), or (OTHER + number) with OTHER defined above it, as the
    platform's headers count their codes up from a base. `relative` may be an absolute path."""
    found = {}
    for m in re.finditer(r"^#define (\w+) \(?(?:(\w+) \+ )?(-?\d+)\)?$", _text(relative), re.M):
        if m[2] is None or m[2] in found:
            found[m[1]] = found.get(m[2], 0) + int(m[3])
    return found


def enumerators(relative, prefix):
    """Prefix-named enumerators with their values, prefix taken off: "Name = number,"."""
    return {m[1]: int(m[2]) for m in
            re.finditer(rf"^\s*{prefix}(\w+) = (\d+),", _text(relative), re.M)}


def _unescaped(literal):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t"}.get(m[1], m[1]), literal)


def constants(relative):
    """constexpr const char* kName = "text"; (escapes such as \\n read) and constexpr int kName =
    number;"""
    text = _text(relative)
    found = {m[1]: _unescaped(m[2]) for m in
             re.finditer(r'constexpr const char\* k(\w+) = "((?:[^"\\]|\\.)*)";', text)}
    found.update({m[1]: int(m[2]) for m in re.finditer(r"constexpr int k(\w+) = (\d+);", text)})
    return found


def learn_catalogue():
    """The learn catalogue in its order: (controller, button value, name)."""
    text = _text("engine/LearnCatalogue.cpp")
    values = {m[1]: int(m[2]) for m in
              re.finditer(r"constexpr std::uint8_t (k\w+ButtonValue) = (\d+);", text)}
    return [(int(m[1]), values[m[2]], m[3]) for m in
            re.finditer(r'\{(\d+), (k\w+ButtonValue), "([^"]+)"\}', text)]


def strings(relative, array):
    """The texts of a constexpr const char* array: kName[] = {"text", ...};"""
    body = re.search(rf"\b{array}\[\] = \{{([^}}]*)\}};", _text(relative))[1]
    return re.findall(r'"([^"]*)"', body)


def enum_order(relative, enum):
    """An enum's enumerators in their order, values left implicit: enum Name : type { A, B, };"""
    body = re.search(rf"\benum {enum}\b[^{{]*\{{([^}}]*)\}};", _text(relative))[1]
    return re.findall(r"^\s*(\w+),", body, re.M)


def learn_buttons():
    """The panel's learn buttons in their table's order, each with its catalogue entry:
    {control id: (controller, button value, name)}."""
    ids = defines("panel/resource.h")
    controls = enum_order("engine/Engine.h", "LearnControl")
    catalogue = learn_catalogue()
    return {ids[m[1]]: catalogue[controls.index(m[2])] for m in
            re.finditer(r"\{(IDC_\w+), (Learn\w+)\}", _text("panel/LearnButtons.cpp"))}


def printf_lines(relative):
    """The lines a program prints, from its protocol header's formats (constexpr const char*
    kNameLine = "key %d %s\\n";): a function that reads one printed line as (Name, [fields]),
    numbers as ints, or (None, []) for a line of no format. A %s takes the rest of the line."""
    conversions = {"d": r"(-?\d+)", "ld": r"(-?\d+)", "lu": r"(\d+)", "s": r"(.*)"}
    formats = []
    for name, text in constants(relative).items():
        if name.endswith("Line"):
            parts = re.split(r"%(l?[dus])", text.rstrip("\n"))
            pattern = "".join(re.escape(part) if at % 2 == 0 else conversions[part]
                              for at, part in enumerate(parts))
            formats.append((name[:-len("Line")], re.compile(pattern), parts[1::2]))

    formats.sort(key=lambda format: len(format[2]))  # "box none" before "box %s"

    def read(line):
        for name, pattern, kinds in formats:
            match = pattern.fullmatch(line)
            if match:
                return name, [text if kind == "s" else int(text)
                              for kind, text in zip(kinds, match.groups())]
        return None, []
    return read
