#!/usr/bin/env python3
# query_storm.py ADDRESS PORT SECONDS RATE -- a stranger asks a server for its
# status RATE times a second for SECONDS seconds (queries written here byte
# by byte, independently of wire.cpp), then listens half a second more.
# Also sends, once a second, a discovery reply and a status query too short
# for its reply: neither may be answered.
# Prints "sent=N replies=N largest=N query=N".
import socket
import struct
import sys
import time

QUERY, REPLY = 21, 22
STATUS_QUERY_SIZE = 164 + 9 * 44


def query(nonce, status=True, size=STATUS_QUERY_SIZE):
    b = bytearray(size)
    struct.pack_into("<HHI4sBBHI", b, 0, QUERY, 0, 0, b"MZQ1", 1, 1 if status else 0, 0, nonce)
    return bytes(b)


def main():
    address, port, seconds, rate = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setblocking(False)
    to = (address, port)
    sent = replies = largest = 0

    def drain():
        nonlocal replies, largest
        while True:
            try:
                data = s.recv(65536)
            except BlockingIOError:
                return
            kind = struct.unpack_from("<H", data, 0)[0] if len(data) >= 2 else -1
            if kind == REPLY:
                replies += 1
                largest = max(largest, len(data))

    start = time.monotonic()
    next_junk = start
    while time.monotonic() - start < seconds:
        now = time.monotonic()
        if now >= next_junk:
            fake_reply = bytearray(query(0))
            struct.pack_into("<H", fake_reply, 0, REPLY)
            s.sendto(bytes(fake_reply), to)
            s.sendto(query(0, True, 164), to)
            next_junk += 1.0
        s.sendto(query(sent + 1), to)
        sent += 1
        drain()
        # Paced so the storm lasts its seconds.
        ahead = start + sent / rate - time.monotonic()
        if ahead > 0:
            time.sleep(ahead)
    end = time.monotonic() + 0.5
    while time.monotonic() < end:
        drain()
        time.sleep(0.01)
    print(f"sent={sent} replies={replies} largest={largest} query={STATUS_QUERY_SIZE}")


main()
