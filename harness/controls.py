"""The panel's controls as its resource header names them, what each learn button sends as the
learn buttons' table and the learn catalogue say, and the wheel type list's entries: written once
in the product's sources, read here."""
from harness import cdefs

_named = {name[len("IDC_"):]: value for name, value in cdefs.defines("panel/resource.h").items()
        if name.startswith("IDC_") and value > 0}
INPUT_DEVICE, OUTPUT_DEVICE, WHEEL_TYPE = (_named[n] for n in ("INPUT_DEVICE", "OUTPUT_DEVICE",
                                                              "WHEEL_TYPE"))
SYNTH_MUTES, DRUM_MUTES, WHEEL_UP, WHEEL_DOWN = (_named[n] for n in ("SYNTH_MUTES", "DRUM_MUTES",
                                                                   "WHEEL_UP", "WHEEL_DOWN"))
ALL_CONTROLS = set(_named.values())
IN_LIGHT, OUT_LIGHT = _named["MIDI_IN_LIGHT"], _named["MIDI_OUT_LIGHT"]
# The part keys in the header's order: synth 1-5, drum 1, 2, ... 7B.
SYNTH = [value for name, value in _named.items() if name.startswith("SYNTH_") and name[6:] != "MUTES"]
# Every control the user can reach with Tab: all but the picture and the lights.
TAB_STOPS = [value for name, value in _named.items() if not name.endswith("_LIGHT")]
DRUM = [value for name, value in _named.items() if name.startswith("DRUM_") and name[5:] != "MUTES"]

# The learn buttons: {control id: (controller, value, name)}.
LEARN = cdefs.learn_buttons()
# The wheel type list's entries; positions in it are the wheel type values.
WHEEL_TYPES = cdefs.strings("panel/WheelTypes.h", "kWheelTypeNames")
