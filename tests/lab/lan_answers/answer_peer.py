"""A scripted misbehaving peer on the lab side: it watches the command frames the pc broadcasts
and answers some of them with datagrams from any address and port it is told, the module's
own or another host's, the way a module that skips or repeats an acknowledgement, a third
host that answers for it, or a second module on the same address would.

It runs inside the lab namespace (labenv.Lab.lab_prefix()), next to r2sim: it does not bind
the modules' ports but watches the wire (a packet socket on the lab's veth end) and sends its
answers through a raw socket with its own IP and UDP headers, so it can speak from the
module's address and port while r2sim holds that port.

    python3 answer_peer.py SCRIPT.json

SCRIPT: {"interface": "r2lab0", "rules": [RULE, ...]}, RULE:
    {"mac": "025232060001", "cmd": 33, "nth": 1,              (nth optional: every match)
     "send": [{"from": "192.168.0.99", "port": 1500, "hex": "FF01034B",
               "copies": 6, "delayMs": 0}]}
Prints "ready" once it watches, then one JSON line per datagram it sent.
"""

import heapq
import json
import select
import socket
import struct
import sys
import time

ETH_P_IP = 0x0800
PACKET_OUTGOING = 4


def parse_command(packet):
    """(src ip, src port, command, mac hex) of a command frame to port 1500 or 1901, or None."""
    if len(packet) < 20 or packet[0] >> 4 != 4 or packet[9] != socket.IPPROTO_UDP:
        return None
    ihl = (packet[0] & 0x0F) * 4
    udp = packet[ihl:ihl + 8]
    if len(udp) < 8:
        return None
    sport, dport = struct.unpack("!HH", udp[:4])
    payload = packet[ihl + 8:]
    if dport not in (1500, 1901) or len(payload) < 22 or payload[0] != 0xFF:
        return None
    return socket.inet_ntoa(packet[12:16]), sport, payload[2], payload[3:9].hex().upper()


def udp_packet(src, sport, dst, dport, payload):
    """An IPv4 packet carrying one UDP datagram; the kernel fills in the IP checksum and id,
    and a UDP checksum of 0 means none, as IPv4 allows."""
    udp = struct.pack("!HHHH", sport, dport, 8 + len(payload), 0) + payload
    ip = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), 0, 0, 64, socket.IPPROTO_UDP, 0,
                     socket.inet_aton(src), socket.inet_aton(dst))
    return ip + udp


def main():
    with open(sys.argv[1]) as f:
        script = json.load(f)
    watch = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_IP))
    watch.bind((script.get("interface", "r2lab0"), ETH_P_IP))
    raw = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_RAW)
    raw.setsockopt(socket.IPPROTO_IP, socket.IP_HDRINCL, 1)
    rules = script["rules"]
    seen = [0] * len(rules)
    due = []  # (time, seq, packet, destination, log entry)
    seq = 0
    print("ready", flush=True)
    while True:
        timeout = max(0.0, due[0][0] - time.monotonic()) if due else None
        readable, _, _ = select.select([watch, sys.stdin], [], [], timeout)
        if sys.stdin in readable and not sys.stdin.readline():
            return 0
        while due and due[0][0] <= time.monotonic():
            _, _, packet, dest, entry = heapq.heappop(due)
            raw.sendto(packet, (dest, 0))
            print(json.dumps(entry), flush=True)
        if watch not in readable:
            continue
        packet, address = watch.recvfrom(65536)
        if address[2] == PACKET_OUTGOING:
            continue
        command = parse_command(packet)
        if command is None:
            continue
        src, sport, cmd, mac = command
        now = time.monotonic()
        for i, rule in enumerate(rules):
            if rule.get("mac", mac).replace(" ", "").upper() != mac or rule.get("cmd", cmd) != cmd:
                continue
            seen[i] += 1
            if rule.get("nth", seen[i]) != seen[i]:
                continue
            for send in rule["send"]:
                payload = bytes.fromhex(send["hex"])
                packet_out = udp_packet(send["from"], send.get("port", 1500), src, sport, payload)
                for _ in range(send.get("copies", 1)):
                    seq += 1
                    entry = {"cmd": cmd, "from": send["from"], "len": len(payload)}
                    heapq.heappush(due, (now + send.get("delayMs", 0) / 1000.0, seq, packet_out,
                                         src, entry))


if __name__ == "__main__":
    sys.exit(main())
