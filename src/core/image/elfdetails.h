#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What an ELF file says of itself, for --info: the header's class, byte
// order, machine, type and entry point, and every loadable segment (PT_LOAD)
// with the bytes that go to the board and those that do not. Only the
// bytes the file holds (p_filesz) are sent; the rest up to p_memsz (.bss,
// heap, stack) is zero-filled by the firmware's own start-up code.
struct ElfDetails {
    struct Segment {
        int place;            // its program header, counted from 1
        quint64 loadAddress;  // p_paddr, where the board keeps it
        quint64 runAddress;   // p_vaddr, where it runs (RAM for copied .data)
        quint64 bytesSent;    // p_filesz
        quint64 bytesNotSent; // p_memsz - p_filesz, none when p_memsz is smaller
    };

    int bits = 32; // 32 or 64
    bool bigEndian = false;
    int machineNumber = 0; // e_machine
    QString machine;       // "ARM", "RISC-V", ... or "machine 1234"
    QString type;          // "executable", "relocatable", ...
    quint64 entryPoint = 0;
    QList<Segment> loadSegments;

    quint64 bytesNotSent() const
    {
        quint64 total = 0;
        for (const Segment &segment : loadSegments)
            total += segment.bytesNotSent;
        return total;
    }
};

// Reads the header and program headers with libelf. Raises an
// InvalidFileFormat error naming the file when libelf cannot read them;
// the image reader has said more of a file it refuses.
ElfDetails readElfDetails(const QByteArray &content, const QString &name);
