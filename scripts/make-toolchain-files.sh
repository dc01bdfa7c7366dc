#!/usr/bin/env bash
# Makes the firmware files under tests/image/files/ with the toolchains that
# write such files in the field (Debian packages srecord, gcc-arm-none-eabi,
# gcc), so that the readers are tried on what those tools really write.
# blink.c is a tiny Cortex-M0 program: its .data is loaded in flash and copied
# to RAM, its .bss is zero-filled there. It puts 100 bytes in flash at
# 0x08000000, and every file made from it carries those same 100 bytes.
set -euo pipefail
cd "$(dirname "$0")/../tests/image/files"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# No symbols, no build id and byte alignment (-n), so the files stay small
# and come out the same each time.
arm-none-eabi-gcc -mcpu=cortex-m0 -mthumb -Os -ffreestanding -nostdlib \
    -Wl,--build-id=none,-n -s -T blink.ld blink.c -o blink.elf
arm-none-eabi-gcc -mcpu=cortex-m0 -mthumb -Os -ffreestanding -c blink.c -o blink.o
arm-none-eabi-objcopy -O binary blink.elf "$work/blink.bin"

# A program for this machine's operating system, not for a board.
printf 'void _start(void) { for (;;) ; }\n' >"$work/host.c"
gcc -Os -nostdlib -static -s -Wl,--build-id=none,-n "$work/host.c" -o host-x86-64.elf

# srec_cat's usual output: a header, data, a count record and no start address.
srec_cat "$work/blink.bin" -binary -offset 0x08000000 -o counted.s37 -address-length=4
srec_cat "$work/blink.bin" -binary -o counted.s19 -address-length=2
srec_cat "$work/blink.bin" -binary -offset 0x08000000 -execution-start-address=0x08000009 \
    -o started.s37 -address-length=4
srec_cat "$work/blink.bin" -binary -offset 0x00010000 -execution-start-address=0x00010009 \
    -o started.s28 -address-length=3
srec_cat "$work/blink.bin" -binary -offset 0x08000000 -execution-start-address=0x08000009 \
    -o started.hex -intel

# Hand-made from those: what an editor or a careless script leaves behind.
grep -v '^S5' counted.s37 >cut-short.s37
sed 's/^S5030004F8/S5030003F9/' counted.s37 >miscounted.s37
{ cat started.s37; echo 'S70508000011E1'; } >two-starts.s37
{ cat started.s37; grep '^S7' started.s37; } >same-start-twice.s37
{ grep -v ':00000001FF' started.hex; echo ':0400000508000011DE'; echo ':00000001FF'; } \
    >two-starts.hex
{ grep -v ':00000001FF' started.hex; grep '^:04000005' started.hex; echo ':00000001FF'; } \
    >same-start-twice.hex
printf ':00000001FF\r\n' >end-only.hex
{ cat started.hex; printf '\x1a'; } >dos-end.hex
{ printf '%s' "$(cat started.hex)"; printf '\x1a'; } >dos-end-on-last-line.hex
{ head -n 1 started.hex; printf '\x1a\n'; tail -n +2 started.hex; } >dos-end-inside.hex
