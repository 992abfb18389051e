#!/usr/bin/env python3
"""Counts the good and bad frames of the checksum samples without Kestrun, to compare
with "kestrun-cli replay ... --json" (its "checksum" object)."""

import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def nmea_counts(data):
    good = bad = 0
    # Every "$" that a CR LF closes is a sentence; the cut-off one at the end is not.
    for match in re.finditer(rb"\$([^\r]*?)\r\n", data, re.S):
        sentence = match.group(1)
        well_formed = re.fullmatch(rb"([^*]*)\*([0-9A-Fa-f]{2})", sentence, re.S)
        value = 0
        if well_formed:
            for b in well_formed.group(1):
                value ^= b
        if well_formed and value == int(well_formed.group(2), 16):
            good += 1
        else:
            bad += 1
    return good, bad


def gnss_counts(data):
    good = bad = 0
    i = 0
    while True:
        i = data.find(b"\xb5\x62", i)
        if i < 0 or i + 6 > len(data):
            break
        length = data[i + 4] | data[i + 5] << 8
        end = i + 6 + length + 2
        if end > len(data):
            break  # cut off: no frame
        a = b = 0
        for byte in data[i + 2:end - 2]:
            a = (a + byte) % 256
            b = (b + a) % 256
        if bytes([a, b]) == data[end - 2:end]:
            good += 1
        else:
            bad += 1
        i = end
    return good, bad


def main():
    for name, count in (("nmea_checksum.bin", nmea_counts), ("gnss_checksum.bin", gnss_counts)):
        with open(os.path.join(HERE, name), "rb") as f:
            good, bad = count(f.read())
        print("%s: %d good, %d bad" % (name, good, bad))
    return 0


if __name__ == "__main__":
    sys.exit(main())
