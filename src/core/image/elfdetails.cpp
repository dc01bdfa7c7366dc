#include "image/elfdetails.h"

#include "image/elffile.h"
#include "image/memoryimage.h"

#include <gelf.h>
#include <libelf.h>

namespace {

[[noreturn]] void refuseUnreadable(const QString &name)
{
    const char *why = elf_errmsg(elf_errno());
    refuseImage(name, QStringLiteral("not an ELF file libelf can read: %1")
                          .arg(why ? QString::fromUtf8(why) : QStringLiteral("no reason given")));
}

QString typeName(int type)
{
    switch (type) {
    case ET_NONE:
        return QStringLiteral("no type");
    case ET_REL:
        return QStringLiteral("relocatable");
    case ET_EXEC:
        return QStringLiteral("executable");
    case ET_DYN:
        return QStringLiteral("shared object");
    case ET_CORE:
        return QStringLiteral("core dump");
    default:
        return QStringLiteral("type %1").arg(type);
    }
}

} // namespace

ElfDetails readElfDetails(const QByteArray &content, const QString &name)
{
    if (elf_version(EV_CURRENT) == EV_NONE)
        refuseUnreadable(name);
    elf_errno(); // not to blame another file's error on this one
    // libelf may turn the bytes it reads to this machine's byte order.
    QByteArray bytes = content;
    bytes.detach();
    const ElfHandle elf(elf_memory(bytes.data(), size_t(bytes.size())));
    GElf_Ehdr header;
    size_t count = 0;
    if (!elf || elf_kind(elf.get()) != ELF_K_ELF || !gelf_getehdr(elf.get(), &header) ||
        elf_getphdrnum(elf.get(), &count) != 0)
        refuseUnreadable(name);

    ElfDetails details;
    details.bits = header.e_ident[EI_CLASS] == ELFCLASS64 ? 64 : 32;
    details.bigEndian = header.e_ident[EI_DATA] == ELFDATA2MSB;
    details.machineNumber = header.e_machine;
    details.machine = elfMachineName(header.e_machine);
    details.type = typeName(header.e_type);
    details.entryPoint = header.e_entry;
    for (size_t index = 0; index < count; ++index) {
        GElf_Phdr program;
        if (!gelf_getphdr(elf.get(), int(index), &program))
            refuseUnreadable(name);
        if (program.p_type != PT_LOAD)
            continue;
        const quint64 notSent =
            program.p_memsz > program.p_filesz ? program.p_memsz - program.p_filesz : 0;
        details.loadSegments.append(
            {int(index) + 1, program.p_paddr, program.p_vaddr, program.p_filesz, notSent});
    }
    return details;
}
