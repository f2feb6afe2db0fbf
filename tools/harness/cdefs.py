"""Names and numbers read from the C++ headers that the program and the virtual driver are built
from: a code or an id is written there once, and the harness reads it."""
import re
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]


def _text(relative):
    return (ROOT / relative).read_text()


def upper_snake(camel):
    """"InputOpenFailed" -> "INPUT_OPEN_FAILED"."""
    return re.sub(r"(?<=[a-z0-9])(?=[A-Z])", "_", camel).upper()


def defines(relative):
    """#define NAME number (or (number))."""
    return {m[1]: int(m[2]) for m in
            re.finditer(r"^#define (\w+) \(?(-?\d+)\)?$", _text(relative), re.M)}


def enumerators(relative, prefix):
    """Prefix-named enumerators with their values, prefix taken off: "Name = number,"."""
    return {m[1]: int(m[2]) for m in
            re.finditer(rf"^\s*{prefix}(\w+) = (\d+),", _text(relative), re.M)}


def constants(relative):
    """constexpr const char* kName = "text"; and constexpr int kName = number;"""
    text = _text(relative)
    found = {m[1]: m[2] for m in re.finditer(r'constexpr const char\* k(\w+) = "([^"]*)";', text)}
    found.update({m[1]: int(m[2]) for m in re.finditer(r"constexpr int k(\w+) = (\d+);", text)})
    return found


def learn_catalogue():
    """The learn catalogue in its order: (controller, button value, name)."""
    text = _text("engine/LearnCatalogue.cpp")
    values = {m[1]: int(m[2]) for m in
              re.finditer(r"constexpr std::uint8_t (k\w+ButtonValue) = (\d+);", text)}
    return [(int(m[1]), values[m[2]], m[3]) for m in
            re.finditer(r'\{(\d+), (k\w+ButtonValue), "([^"]+)"\}', text)]
