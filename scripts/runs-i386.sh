#!/usr/bin/env bash
# Exits 0 when this machine's kernel runs 32-bit x86 programs, which Wine
# needs for the shipping 32-bit exe. Some kernels are built or booted
# without it; there the 32-bit loader fails with "Exec format error", and
# once wine32 is installed every `wine` call goes through that loader, so
# 64-bit programs break too.
#
# The probe is a 93-byte i386 ELF program that only calls exit(0).
set -u
probe=$(mktemp "${TMPDIR:-/tmp}/kestrova-i386.XXXXXX")
trap 'rm -f "$probe"' EXIT
python3 - "$probe" <<'PY'
import struct, sys
base, header_size = 0x08048000, 52 + 32
code = bytes([0xB8, 1, 0, 0, 0, 0x31, 0xDB, 0xCD, 0x80])  # mov eax,1; xor ebx,ebx; int 0x80
size = header_size + len(code)
elf = b"\x7fELF\x01\x01\x01" + bytes(9)
elf += struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + header_size, 52, 0, 0, 52, 32, 1, 0, 0, 0)
elf += struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
open(sys.argv[1], "wb").write(elf + code)
PY
chmod +x "$probe"
"$probe" 2>/dev/null
