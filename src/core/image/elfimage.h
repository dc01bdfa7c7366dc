#pragma once

#include "image/memoryimage.h"

#include <QByteArray>
#include <QString>

// An ELF file's loadable segments (PT_LOAD), each at its physical address
// with the bytes the file holds for it; a segment's place is its program
// header, counted from 1. The entry point is the start address. Read with
// libelf, either byte order. Raises an InvalidFileFormat error (refuseImage)
// naming the file and the segment when the file is no ELF file libelf can
// read, is no linked program (ET_EXEC) for a 32-bit microcontroller (ARM,
// RISC-V, AVR, MSP430, Xtensa), asks for a program interpreter, a segment
// lies past the end of the file or past the address 0xFFFFFFFF, two segments
// write the same address, or no segment holds any bytes (refuseEmptyImage).
// The pieces come back in address order.
MemoryImage readElfImage(const QByteArray &content, const QString &name);
