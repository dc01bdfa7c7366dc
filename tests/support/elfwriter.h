#pragma once

#include <QByteArray>
#include <QList>

#include <elf.h>

#include <optional>

// ELF files for tests, written by libelf with the layout chosen here: each
// program header as given, its bytes at its offset in the file. Whatever is
// not given follows from the rest, so a case names only what it is about.
struct ElfSegment {
    quint32 type = PT_LOAD;
    quint64 paddr = 0;
    QByteArray bytes{};              // what the file holds at the offset
    std::optional<quint64> vaddr{};  // paddr
    std::optional<quint64> offset{}; // after the headers and the bytes of the segments before
    std::optional<quint64> filesz{}; // the size of bytes
    std::optional<quint64> memsz{};  // filesz
};

struct ElfFile {
    bool wide = false; // 64-bit
    bool bigEndian = false;
    quint64 entry = 0;
    QList<ElfSegment> segments{};
    quint16 type = ET_EXEC;
    std::optional<quint16> machine{}; // ARM, or AArch64 when wide
};

// The file's bytes; a file libelf refuses to write ends the run.
QByteArray writeElf(const ElfFile &file);
