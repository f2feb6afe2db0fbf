"""MIDI words as the driver carries them (status in bits 0-7, data1 in 8-15, data2 in 16-23), and
the realistic stream both benchmarks play. Run as a program with a file name, it writes that
stream there as the elements of a C++ initializer list, for the router benchmark."""
import sys
from pathlib import Path


def cc(controller, value, channel=1):
    return (0xB0 + channel - 1) | controller << 8 | value << 16


def program(number, channel=1):
    return (0xC0 + channel - 1) | number << 8


def note_on(key, velocity, channel=1):
    return (0x90 + channel - 1) | key << 8 | velocity << 16


def note_off(key, channel=1, velocity=0):
    return (0x80 + channel - 1) | key << 8 | velocity << 16


def numbered_note(index):
    """Note On or Off on any channel whose channel, key and velocity spell out the index, so a
    flood of them shows any word lost, doubled or reordered."""
    status = (0x90 if index & 1 else 0x80) | (index >> 15 & 0x0F)
    return status | (index >> 1 & 0x7F) << 8 | (index >> 8 & 0x7F) << 16


def realistic_bars():
    """Four bars at 120 BPM: clock, sixteenth-note drums, a filter sweep on channel 2, a wheel
    turn per bar and a drum and a synth status report per bar, with a pitch bend and active
    sensing that the router drops."""
    stream = [0xFA]
    for bar in range(4):
        for tick in range(96):
            stream.append(0xF8)
            if tick % 6 == 0:
                key = 36 if tick % 24 == 0 else 42
                stream += [note_on(key, 100, 10), note_off(key, 10)]
            if tick % 4 == 0:
                stream.append(cc(74, tick, 2))
            if tick == 12:
                stream += [cc(32, 0), program(bar)]
            if tick == 48:
                stream += [cc(99, 0), cc(98, 120), cc(6, 1), cc(38, 5)]
            if tick == 72:
                stream += [cc(99, 0), cc(98, 119), cc(38, 9)]
            if tick == 90:
                stream += [0xE0 | 64 << 16, 0xFE]
    return stream + [0xFC]


if __name__ == "__main__":
    Path(sys.argv[1]).write_text("".join(f"0x{word:06X},\n" for word in realistic_bars()))
