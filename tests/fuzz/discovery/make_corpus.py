#!/usr/bin/env python3
"""Writes the seed corpus of the discovery fuzzer: replies written from the byte tables, some
valid, some cut or malformed. Run from this folder; the files are committed."""
import os

def text(s, width):
    b = s.encode() if isinstance(s, str) else s
    assert len(b) <= width
    return b + bytes(width - len(b))

def f2(body_len, dhcp=b"\x01"):
    head = b"MO_I" + b"\x01\x00" + bytes(9) + body_len.to_bytes(4, "little") + bytes(4)
    body = (text("0A1B2C3D4E5F", 13) + text("\u6444\u50cf\u673a".encode("utf-8"), 21)
            + bytes([192, 168, 1, 20, 255, 255, 255, 0, 192, 168, 1, 1, 8, 8, 8, 8, 0, 0, 0, 0,
                     1, 2, 3, 4, 5, 6, 7, 8, 0x00, 0x51]))
    if body_len == 195:
        body += dhcp + text("aa.bb.cc:9000", 65) + text("x123", 65)
    return head + body

def netblock(mac=bytes.fromhex("001122aabbcc")):
    return (text("192.168.1.30", 16) + text("255.255.255.0", 16) + text("192.168.1.1", 16)
            + text("8.8.8.8", 16) + text("8.8.4.4", 16) + bytes.fromhex("901f901f901fb822")
            + mac + bytes.fromhex("0102") + bytes.fromhex("0123456789abcd") + b"\x01"
            + text("\u524d\u95e8".encode("utf-8"), 24))

def f9():
    return (bytes.fromhex("44480108") + text("192.168.1.50", 16) + text("255.255.255.0", 16)
            + text("192.168.1.1", 16) + text("8.8.8.8", 16) + text("8.8.4.4", 16)
            + bytes.fromhex("001a2b3c4d5e") + bytes.fromhex("5000") + text("T517-0001", 32)
            + text("Garage", 80) + text("V2.0.1.20260101-abcd", 32) + text("admin", 32)
            + text("pw", 32) + b"\x00\x01" + bytes(22) + text("aa.bb.cc:9000", 64)
            + text("host.aa.bb.cc", 64) + text("x123", 32) + text("ddpw", 32))

f5 = (b"REPLY * CTP/1.0\r\n-sn SN0001\r\n-name cam\r\n-ip 192.168.1.40\r\n-netmask 255.255.255.0\r\n"
      b"-portctp 8080\r\n-mdns 8.8.8.8\r\n-sdns 8.8.4.4\r\n-mac 00:11:22:AA:BB:CC\r\n"
      b"-gw 192.168.1.1\r\n-ddns aa.bb.cc:9000\r\n-ddnsuser x123\r\n-ddnspswd pw1\r\n-version 3.1.4\r\n\r\n")
f8_answer = bytes.fromhex("1010018f34128400") + bytes.fromhex("deadbeef") + netblock()
f8_info = bytes.fromhex("1010128f34128600") + netblock() + b"V1.2.3\x00"
f8_ddns = (bytes.fromhex("10100f8f34124f01") + netblock() + bytes(6) + text("aa.bb.cc:9000", 130)
           + text("x123", 64) + b"secret\x00")

files = {
    "f2_reply64.bin": f2(64),
    "f2_reply195.bin": f2(195),
    "f2_reply195_cut.bin": f2(195)[:150],
    "f2_own_search.bin": b"MO_I" + bytes(11) + b"\x04\x00\x00\x00" + bytes(4) + b"\x00\x00\x00\x01",
    "f2_bad_length.bin": f2(64)[:15] + (63).to_bytes(4, "little") + f2(64)[19:],
    "f5_reply.bin": f5,
    "f5_ddnsuser_first.bin": b"REPLY\r\n-ddnsuser alice\r\n-ddns srv.example\r\n-portctp x\r\n",
    "f5_own_search.bin": b"SEARCH * CTP/1.0\r\nFrom:0.0.0.0\r\n\r\n",
    "f8_search_answer.bin": f8_answer,
    "f8_info_reply.bin": f8_info,
    "f8_info_reply_cut.bin": f8_info[:100],
    "f8_ddns_reply.bin": f8_ddns,
    "f8_ddns_reply_cut.bin": f8_ddns[:300],
    "f8_three_bytes.bin": bytes.fromhex("101001"),
    "f8_own_search.bin": bytes.fromhex("1010010f00000000"),
    "f9_answer.bin": f9(),
    "f9_answer_short.bin": f9()[:400],
    "f9_answer_cut.bin": f9()[:200],
    "unknown.bin": b"IMAGIAQUERY,0",
    "oversized.bin": f5 + b"x" * (1025 - len(f5)),
}
os.makedirs("corpus", exist_ok=True)
for name, data in files.items():
    with open(os.path.join("corpus", name), "wb") as f:
        f.write(data)
