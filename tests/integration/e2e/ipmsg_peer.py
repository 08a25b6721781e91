#!/usr/bin/python3
"""A scripted IP Messenger peer for the end-to-end tests, run inside the peer's network
namespace: listens on UDP 2425 on every address, answers an entry with its own entry answer
as any member would, and records every packet it hears.

Record lines: "ready", then one "<command hex> <options hex> <extra hex>" per packet, the
extra as CP932 bytes in hex (the test decodes it). Usage: ipmsg_peer.py <record file>.
"""
import socket
import sys

PORT = 2425
IPMSG_BR_ENTRY = 0x01
IPMSG_ANSENTRY = 0x03


def main():
    record = sys.argv[1]
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    s.bind(("0.0.0.0", PORT))
    with open(record, "a", encoding="ascii") as f:
        f.write("ready\n")
    number = 1000
    while True:
        data, sender = s.recvfrom(8192)
        text = data.split(b"\0", 1)[0]
        fields = text.split(b":", 5)
        if len(fields) < 6 or not fields[4].isdigit():
            continue
        command = int(fields[4])
        with open(record, "a", encoding="ascii") as f:
            f.write("%x %x %s\n" % (command & 0xFF, command & ~0xFF, fields[5].hex()))
        if command & 0xFF == IPMSG_BR_ENTRY:
            number += 1
            s.sendto(b"1:%d:peer:peerhost:%d:Peer\0" % (number, IPMSG_ANSENTRY), sender)


if __name__ == "__main__":
    main()
