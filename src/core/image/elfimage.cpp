#include "image/elfimage.h"

#include "image/elffile.h"
#include "image/imagesummary.h"

#include <gelf.h>
#include <libelf.h>


namespace {

[[noreturn]] void refuseUnreadable(const QString &name, const QString &why)
{
    refuseImage(name, QStringLiteral("not an ELF file libelf can read: %1").arg(why));
}

// libelf keeps its last error until asked, so it is asked right after the
// call that failed; elf_errmsg(0) would give no text at all.
QString libelfError()
{
    const int error = elf_errno();
    const char *text = error != 0 ? elf_errmsg(error) : nullptr;
    return text ? QString::fromUtf8(text) : QStringLiteral("it gives no reason");
}

// libelf reads only the program headers that fit in the file and says
// nothing of the rest; a file cut short there is told as such.
void checkHeaderTable(Elf *elf, const GElf_Ehdr &header, quint64 fileSize, const QString &name)
{
    if (header.e_phnum == 0 || header.e_phnum == PN_XNUM)
        return;
    const quint64 size = quint64(header.e_phnum) * gelf_fsize(elf, ELF_T_PHDR, 1, EV_CURRENT);
    if (header.e_phoff > fileSize || size > fileSize - header.e_phoff)
        refuseImage(name, QStringLiteral("the program headers lie past the end of the file"));
}

// "32-bit little-endian ARM": what the header says the file is built for.
QString kindOf(const GElf_Ehdr &header)
{
    return QStringLiteral("%1-bit %2-endian %3")
        .arg(header.e_ident[EI_CLASS] == ELFCLASS64 ? 64 : 32)
        .arg(header.e_ident[EI_DATA] == ELFDATA2MSB ? QStringLiteral("big")
                                                    : QStringLiteral("little"))
        .arg(elfMachineName(header.e_machine));
}

// Only a linked program for a 32-bit microcontroller is firmware; anything
// else would be cut into records that no board can run.
void checkIsFirmware(Elf *elf, const GElf_Ehdr &header, size_t segments, const QString &name)
{
    if (header.e_ident[EI_CLASS] != ELFCLASS32 || !isMicrocontrollerMachine(header.e_machine))
        refuseImage(name, QStringLiteral("it is built for %1, not for a 32-bit "
                                         "microcontroller (ARM, RISC-V, AVR, MSP430 or Xtensa)")
                              .arg(kindOf(header)));
    switch (header.e_type) {
    case ET_EXEC:
        break;
    case ET_REL:
        refuseImage(name, QStringLiteral("it is a %1 object file, not a linked program: link "
                                         "it first")
                              .arg(kindOf(header)));
    case ET_DYN:
        refuseImage(name, QStringLiteral("it is a %1 shared library or position-independent "
                                         "program, not firmware linked to fixed addresses")
                              .arg(kindOf(header)));
    case ET_CORE:
        refuseImage(name,
                    QStringLiteral("it is a %1 core dump, not a program").arg(kindOf(header)));
    default:
        refuseImage(name, QStringLiteral("it is a %1 file of ELF type %2, not an executable "
                                         "program")
                              .arg(kindOf(header))
                              .arg(header.e_type));
    }
    for (size_t index = 0; index < segments; ++index) {
        GElf_Phdr program;
        if (gelf_getphdr(elf, int(index), &program) && program.p_type == PT_INTERP)
            refuseImage(name, QStringLiteral("it is a %1 program for an operating system (it "
                                             "asks for a program interpreter), not firmware")
                                  .arg(kindOf(header)));
    }
}

} // namespace

MemoryImage readElfImage(const QByteArray &content, const QString &name)
{
    if (content.isEmpty())
        refuseUnreadable(name, QStringLiteral("the file is empty"));
    if (elf_version(EV_CURRENT) == EV_NONE)
        refuseUnreadable(name, libelfError());
    elf_errno(); // an error left over from another file would be blamed on this one

    // libelf may write to the bytes it reads from (to turn them to this
    // machine's byte order), and those given are not its to change.
    QByteArray bytes = content;
    bytes.detach();
    const ElfHandle elf(elf_memory(bytes.data(), size_t(bytes.size())));
    if (!elf)
        refuseUnreadable(name, libelfError());
    if (elf_kind(elf.get()) != ELF_K_ELF)
        refuseUnreadable(name, QStringLiteral("it does not begin with an ELF header"));
    GElf_Ehdr header;
    if (!gelf_getehdr(elf.get(), &header))
        refuseUnreadable(name, libelfError());
    const auto fileSize = quint64(content.size());
    checkHeaderTable(elf.get(), header, fileSize, name);
    size_t count = 0;
    if (elf_getphdrnum(elf.get(), &count) != 0)
        refuseUnreadable(name, libelfError());
    checkIsFirmware(elf.get(), header, count, name);

    MemoryImage image;
    for (size_t index = 0; index < count; ++index) {
        const int segment = int(index) + 1;
        GElf_Phdr program;
        if (!gelf_getphdr(elf.get(), int(index), &program))
            refuseUnreadable(name, libelfError());
        // What lies past p_filesz up to p_memsz is zero-filled by the
        // firmware's own start-up code, not written to flash.
        if (program.p_type != PT_LOAD || program.p_filesz == 0)
            continue;
        if (program.p_offset > fileSize || program.p_filesz > fileSize - program.p_offset)
            refuseImage(name,
                        QStringLiteral("segment %1 lies past the end of the file").arg(segment));
        // The physical address is where the board keeps it; the virtual one
        // is where it runs from, which may be RAM it is copied to.
        if (program.p_paddr >= AddressSpace || program.p_filesz > AddressSpace - program.p_paddr)
            refuseImage(
                name,
                QStringLiteral("segment %1 reaches past the address 0xFFFFFFFF").arg(segment));
        image.pieces.append({program.p_paddr,
                             content.mid(qsizetype(program.p_offset), qsizetype(program.p_filesz)),
                             segment});
    }
    if (image.pieces.isEmpty())
        refuseEmptyImage(name);
    if (const auto overlap = sortAndFindOverlap(image.pieces))
        refuseImage(name, QStringLiteral("segments %1 and %2 both write the address %3")
                              .arg(overlap->first)
                              .arg(overlap->second)
                              .arg(addressText(quint32(overlap->address))));
    if (header.e_entry >= AddressSpace)
        refuseImage(name,
                    QStringLiteral("the entry point %1 lies past the address 0xFFFFFFFF")
                        .arg(QStringLiteral("0x") + QString::number(header.e_entry, 16).toUpper()));
    if (header.e_entry != 0)
        image.start = quint32(header.e_entry);
    return image;
}
