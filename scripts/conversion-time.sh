#!/usr/bin/env bash
# Times the reading of one 9000-record firmware image as Intel HEX, S-record,
# ELF and raw binary (each made by binutils from the same random bytes), the
# conversion to Intel HEX records included. Builds in BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target bootline-conversion-time --parallel 2 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 8995 records of 16 bytes at 0x08000000, three 04 records, a start and the
# end: 9000 records, the most a download takes.
head -c $((8995 * 16)) /dev/urandom >"$work/image.bin"
objcopy -I binary -O ihex --change-addresses 0x08000000 "$work/image.bin" "$work/image.hex"
objcopy -I binary -O srec --srec-forceS3 --change-addresses 0x08000000 "$work/image.bin" \
    "$work/image.srec"
echo 'SECTIONS { .text 0x08000000 : { *(.data) } /DISCARD/ : { *(*) } }' >"$work/image.ld"
# An ARM file: the loader takes ELF files for microcontrollers only.
(cd "$work" &&
    arm-none-eabi-objcopy -I binary -O elf32-littlearm -B arm image.bin image.o &&
    arm-none-eabi-ld -n -s --build-id=none --no-warn-rwx-segments -e 0x08000001 \
        -T image.ld -o image.elf image.o)
"$build/bin/bootline-conversion-time" "$work"/image.{hex,srec,elf,bin}
