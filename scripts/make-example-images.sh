#!/usr/bin/env bash
# Makes examples/firmware.srec, .bin and .elf from examples/firmware.hex with
# binutils, so that each reader is tried on a file that another tool wrote.
# The S-records carry 28 bytes a line, so that the 16-byte records made from
# them run on across the file's lines. For the ELF file: The bytes are
# loaded into flash at 0x0800C000 but linked to run at 0x20000000, and a .bss
# adds memory that has no bytes in the file: the reader must take the load
# address and leave the zero-fill out. The entry is the HEX file's start.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# firmware.hex has no gaps, so the binary image is exactly its data.
objcopy -I ihex -O binary examples/firmware.hex "$work/firmware.bin"
cat >"$work/firmware.ld" <<'EOF'
SECTIONS
{
    .text 0x20000000 : AT(0x0800C000) { *(.data) }
    .bss (NOLOAD) : { . += 0x400; }
    /DISCARD/ : { *(*) }
}
EOF
# An ARM file, as the loader takes ELF files for microcontrollers only (the
# gcc-arm-none-eabi package's ld). No symbols and no build id, so the file
# comes out the same each time.
(cd "$work" &&
    arm-none-eabi-objcopy -I binary -O elf32-littlearm -B arm firmware.bin firmware.o &&
    arm-none-eabi-ld -n -s --build-id=none --no-warn-rwx-segments -e 0x0800C0C1 \
        -T firmware.ld -o firmware.elf firmware.o)
cp "$work/firmware.elf" examples/firmware.elf
cp "$work/firmware.bin" examples/firmware.bin
(cd examples && objcopy -I ihex -O srec --srec-forceS3 --srec-len=28 firmware.hex firmware.srec)
