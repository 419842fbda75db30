#!/usr/bin/env python3
# foreign_sender.py KIND FIGHTERS PORT... -- a stranger's socket sends
# well-formed state bodies (written here byte by byte, independently of
# wire.cpp) to 127.0.0.1:PORT for each PORT:
#   mismatch  one body that claims FIGHTERS - 6 fighters (another level);
#   far       one body numbered 0x7FFFFFFF;
#   flood     400 bodies numbered 0x80000000 on, each with 255 effect events
#             and 16 repeated ones under fresh ids and the pause flag set,
#             paced 2 ms apart.
# Prints "sent=N".
import socket
import struct
import sys
import time

SIZE = 6008
STATE_UPDATE = 14
PAUSED = 0x01


def body(fighters, seq, effects=0, repeats=0, first_id=0, flags=0):
    b = bytearray(SIZE)
    struct.pack_into("<HHI", b, 0, STATE_UPDATE, 0, 0)
    # yourFighter 1, the counts, the flags byte, the clock.
    struct.pack_into("<8B", b, 8, 1, fighters, 0, 0, 0, 0, effects, flags)
    struct.pack_into("<i", b, 16, 12345)
    at = 20
    for f in range(fighters):
        # x, y, heading, active, 3 unused, score, health, bullets
        struct.pack_into("<fffB3xifi", b, at, 12.0 + f, 12.0, 0.0, 1, 0, 100.0, 50)
        at += 28
    for e in range(effects):
        # kind 0 (large), 3 unused, x, y, z, 4 unused
        struct.pack_into("<B3xfff4x", b, at, 0, 12.0, 12.0, 1.5)
        at += 20
    tail = 5992 - 20 * repeats
    assert at <= tail
    for r in range(repeats):
        struct.pack_into("<IB3xfff", b, tail + 20 * r, first_id + effects + r, 0, 12.0, 12.0, 1.5)
    struct.pack_into("<4sIIB3x", b, 5992, b"MZS1", seq, first_id, repeats)
    return bytes(b)


def main():
    kind, fighters, ports = sys.argv[1], int(sys.argv[2]), [int(p) for p in sys.argv[3:]]
    if kind == "mismatch":
        bodies = [body(max(1, fighters - 6), 5)]
    elif kind == "far":
        bodies = [body(fighters, 0x7FFFFFFF)]
    elif kind == "flood":
        # Numbered just after "far", so a client that believed that one
        # takes these as newer too, pause flag included.
        bodies = [body(fighters, 0x80000000 + k, 255, 16, 1000000 + 300 * k, PAUSED) for k in range(400)]
    else:
        sys.exit("usage: foreign_sender.py mismatch|far|flood FIGHTERS PORT...")
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sent = 0
    for b in bodies:
        for p in ports:
            sent += s.sendto(b, ("127.0.0.1", p)) == SIZE
        if len(bodies) > 1:
            time.sleep(0.002)
    print(f"sent={sent}")


if __name__ == "__main__":
    main()
