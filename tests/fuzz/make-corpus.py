#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_meterstream into tests/fuzz/corpus/.

Each seed is one fuzzer input: a first byte telling how many bytes reach the
window per poll tick (0: all in one tick), then the line traffic.
"""
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus")

DIGITS = {"0": 0x5F, "1": 0x50, "2": 0x3D, "3": 0x79, "4": 0x72, "5": 0x6B,
          "6": 0x6F, "7": 0x51, "8": 0x7F, "9": 0x7B, "L": 0x0E, "E": 0x2F,
          "I": 0x06, "V": 0x5E, "F": 0x27, "-": 0x20, " ": 0x00}


def digits(text):
    """Codes of bytes 8, 7, 6, 5 for a display text such as '1.234' or ' 0.L '."""
    codes = []
    for ch in text:
        if ch == ".":
            codes[-1] |= 0x80
        else:
            codes.append(DIGITS[ch])
    codes = [0] * (4 - len(codes)) + codes
    return codes


def frame(byte2=0, byte3=0, byte4=0, byte9=0, shown="0.000", version=2, noise=0):
    raw = [0] * 20
    raw[0] = 0xA5
    raw[2], raw[3], raw[4], raw[9] = byte2, byte3, byte4, byte9
    raw[8], raw[7], raw[6], raw[5] = digits(shown)
    raw[18] = version
    if noise:
        raw[1] = noise
        raw[10:18] = [(noise * (i + 3)) & 0xFF for i in range(8)]
    raw[19] = sum(raw[:19]) & 0xFF
    return bytes(raw)


def write(name, tick, payload):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(bytes([tick]) + payload)


def main():
    os.makedirs(OUT, exist_ok=True)
    example = bytes.fromhex("a50004001072793dd002000000000000000002b5")
    assert frame(0x04, 0, 0x10, 0x02, "1.234") == example
    write("worked-example", 0, example)
    write("worked-example-as-text", 0, example.hex().encode())

    functions = {
        "volts-dc": (0x04, 0x00, 0x10, 0x02, "1.234"),
        "millivolts-ac": (0x0C, 0x00, 0x10, 0x08, "123.4"),
        "amps": (0x02, 0x00, 0x00, 0x02, "1.000"),
        "milliamps": (0x0A, 0x00, 0x01, 0x06, "12.34"),
        "microamps": (0x02, 0x80, 0x00, 0x02, "456.7"),
        "ohms": (0x20, 0x00, 0x10, 0x00, "220.0"),
        "kilo-ohms-beep": (0x60, 0x00, 0x08, 0x00, "1.000"),
        "mega-ohms": (0xA0, 0x00, 0x00, 0x00, " 0.L "),
        "farads": (0x01, 0x00, 0x00, 0x00, "1.000"),
        "millifarads": (0x09, 0x00, 0x00, 0x00, "1.000"),
        "nanofarads": (0x01, 0x40, 0x00, 0x00, "10.00"),
        "microfarads": (0x01, 0x80, 0x00, 0x00, "4.700"),
        "hertz": (0x10, 0x00, 0x00, 0x00, "50.00"),
        "kilohertz": (0x50, 0x00, 0x00, 0x00, "1.000"),
        "megahertz": (0x90, 0x00, 0x00, 0x00, "1.000"),
        "duty-cycle": (0x00, 0x04, 0x00, 0x00, "50.0"),
        "celsius": (0x00, 0x20, 0x00, 0x00, "025.3"),
        "fahrenheit": (0x00, 0x10, 0x00, 0x04, "012.0"),
        "hfe": (0x00, 0x02, 0x00, 0x00, " 123"),
        "diode": (0x04, 0x00, 0x04, 0x02, "0.567"),
        "ncv": (0x00, 0x08, 0x00, 0x00, "  EF"),
        "ncv-dashes": (0x00, 0x08, 0x00, 0x00, "----"),
        "live": (0x00, 0x08, 0x00, 0x00, "LIVE"),
        "every-flag": (0xFF, 0xFF, 0xFF, 0xFF, "8.8.8.8."),
    }
    for name, (b2, b3, b4, b9, shown) in functions.items():
        write("function-" + name, 0, frame(b2, b3, b4, b9, shown))
    for version in (1, 2, 4, 8, 3):
        write("version-%d" % version, 0, frame(0x04, 0, 0, 0x02, "1.234", version))
    write("noisy-unread-bytes", 0, frame(0x04, 0, 0x10, 0x02, "1.234", noise=0x5A))

    rng = random.Random(20261207)
    garbage = bytes(rng.choice([b for b in range(256) if b != 0xA5]) for _ in range(64))
    write("garbage-no-start", 7, garbage)
    write("garbage-ten-bytes", 0, garbage[:10])
    write("garbage-25-bytes", 0, garbage[:25])
    write("garbage-then-frame", 0, garbage[:13] + example)
    write("start-near-end", 0, garbage[:20] + example[:5])
    bad = bytearray(example)
    bad[19] ^= 1
    write("checksum-off-by-one", 0, bytes(bad))
    write("start-inside-data", 0, frame(0x04, 0xA5, 0, 0, "1.234"))
    two = example + frame(0x60, 0, 0x08, 0, "0.L") + example[:7]
    write("two-frames-and-a-bit", 0, two)
    write("split-frames-13-per-tick", 13, two)
    write("split-frames-20-per-tick", 20, example + example)
    write("split-frames-7-per-tick", 7, garbage[:3] + example + example)

    # The encoder reads a digit text from the first 10 bytes of the stream
    # and a unit text (UTF-8) from the next 8.
    write("encoder-digits-and-unit", 0, " 0.L      k\u03a9".encode())
    write("encoder-celsius", 0, "025.3     \u2103".encode())
    write("encoder-microamps", 0, b"1.234     uA")


if __name__ == "__main__":
    main()
