#!/usr/bin/env python3
"""Writes the two checksum sample recordings and their settings files.

nmea_checksum.bin: NMEA-style sentences "$...*hh" CR LF (XOR of the bytes between "$"
and "*", as two hexadecimal digits), some with a damaged byte or a wrong checksum, a
little line noise between sentences and a cut-off sentence at the end.
gnss_checksum.bin: binary GNSS-style frames B5 62 <class> <id> <length, 2 bytes, least
significant first> <payload> <CK_A> <CK_B> (Fletcher-8 over class .. payload), some
damaged, with filler bytes between frames and a cut-off frame at the end.

The output is the same at every run (fixed seed). check_checksum_samples.py counts the
good and bad frames of both files independently of Kestrun.
"""

import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
PORT_SECTION = (
    "[_serial_capture]\r\n"
    "_settings=RRS0099144000000204800002048000000170190000160000000400063026013000000000000000000000000108\r\n"
)


def xor8(data):
    value = 0
    for b in data:
        value ^= b
    return value


def fletcher8(data):
    a = b = 0
    for byte in data:
        a = (a + byte) & 0xFF
        b = (b + a) & 0xFF
    return bytes([a, b])


def nmea_recording(rng):
    talkers = ["GPGGA", "GPRMC", "GPGSA", "GPVTG", "GPGSV"]
    out = bytearray()
    damaged = 0
    for i in range(200):
        body = "%s,%02d%02d%02d.%02d,%09.4f,N,%010.4f,E,1,%02d,0.9,%.1f,M" % (
            talkers[i % len(talkers)], (i // 3600) % 24, (i // 60) % 60, i % 60, rng.randrange(100),
            4807.0 + rng.random(), 1131.0 + rng.random(), rng.randrange(4, 13), 500 + rng.random() * 50)
        digits = "%02X" % xor8(body.encode())
        if i % 7 == 3:
            digits = digits.lower()  # either case is a right checksum
        sentence = bytearray(("$" + body + "*" + digits + "\r\n").encode())
        if i % 13 == 5:
            sentence[8] ^= 0x04  # a damaged character
            damaged += 1
        elif i % 17 == 9:
            sentence[-4] = ord("0") if sentence[-4] != ord("0") else ord("1")  # a wrong checksum
            damaged += 1
        out += sentence
        if i % 11 == 0:
            out += b"\x00\x7f"  # line noise between sentences
    out += b"$GPGGA,cut off"  # the recording ends inside a sentence
    return bytes(out), damaged


def gnss_recording(rng):
    out = bytearray()
    damaged = 0
    for i in range(150):
        payload = bytes(rng.randrange(256) for _ in range(rng.randrange(0, 40)))
        body = bytes([0x01, [0x02, 0x07, 0x12, 0x35][i % 4]]) + len(payload).to_bytes(2, "little") + payload
        frame = bytearray(b"\xb5\x62" + body + fletcher8(body))
        if i % 9 == 4 and payload:
            frame[6] ^= 0x40  # a damaged payload byte
            damaged += 1
        elif i % 23 == 11:
            frame[-1] ^= 0x01  # a damaged CK_B
            damaged += 1
        out += frame
        if i % 10 == 0:
            out += b"\x00\x00"  # filler between frames
    out += b"\xb5\x62\x01\x02\x10\x00\x01\x02"  # the recording ends inside a frame
    return bytes(out), damaged


def logger_section(trigger_start, trigger_stop, mode, start_amount=0, width=1, msb_first=1):
    lines = ["[_logger_settings]", "TriggerStartSize=%d" % len(trigger_start)]
    lines += ["TriggerStart_%d=%d" % (i, e) for i, e in enumerate(trigger_start)]
    lines.append("TriggerStopSize=%d" % len(trigger_stop))
    lines += ["TriggerStop_%d=%d" % (i, e) for i, e in enumerate(trigger_stop)]
    lines += [
        "CaptureMode=%d" % mode, "AddTimeStamp=1", "MaxBytesInLogLine=32", "MaxLinesInLogFile=500",
        "ShowHexOutput=1", "ShowASCIIOutput=1", "SeparateHexAndASCII=0", "LogStartTrigger=1",
        "LogStopTrigger=1", "LogDataField=1", "LogAmountOfTrashedBytes=1", "MaxBytesWithinTriggers=-1",
        "BytesAfterTrigger=0", "StartAmountOfBytes=%d" % start_amount, "AmountOfBytesWidth=%d" % width,
        "AmountOfBytesMSBFirst=%d" % msb_first,
    ]
    return "\r\n".join(lines) + "\r\n"


def frames_section(algorithm, skip_start, gap, skip_end, length_adjust=0):
    return ("[_frames]\r\nChecksumAlgorithm=%d\r\nChecksumSkipStart=%d\r\nChecksumGap=%d\r\n"
            "ChecksumSkipEnd=%d\r\nChecksumMSBFirst=1\r\nDropBadFrames=0\r\nLengthAdjust=%d\r\n"
            % (algorithm, skip_start, gap, skip_end, length_adjust))


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def main():
    rng = random.Random(18)
    nmea, nmea_damaged = nmea_recording(rng)
    gnss, gnss_damaged = gnss_recording(rng)
    write("nmea_checksum.bin", nmea)
    write("nmea_checksum.scs",
          "; NMEA-style sentences: frames from \"$\" to CR LF (capture mode 3), checksum XOR-8 as two\r\n"
          "; hexadecimal digits after \"*\": skip the \"$\", gap 1 (the \"*\"), skip the CR LF at the end.\r\n"
          + PORT_SECTION + "\r\n" + logger_section([36], [13, 10], 3) + "\r\n[_data_triggers]\r\n\r\n"
          + frames_section(10, 1, 1, 2))
    write("gnss_checksum.bin", gnss)
    write("gnss_checksum.scs",
          "; Binary GNSS-style frames: start trigger B5 62 ?? ?? ?? ?? (capture mode 2), length field at\r\n"
          "; index 4, 2 bytes, least significant first; LengthAdjust 2 takes in CK_A CK_B. Fletcher-8\r\n"
          "; covers class .. payload: skip the two sync bytes.\r\n"
          + PORT_SECTION + "\r\n" + logger_section([181, 98, 256, 256, 256, 256], [], 2, 4, 2, 0)
          + "\r\n[_data_triggers]\r\n\r\n" + frames_section(9, 2, 0, 0, 2))
    print("nmea_checksum.bin: %d bytes, %d sentences damaged on purpose" % (len(nmea), nmea_damaged))
    print("gnss_checksum.bin: %d bytes, %d frames damaged on purpose" % (len(gnss), gnss_damaged))


if __name__ == "__main__":
    main()
