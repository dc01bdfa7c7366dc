#include "support/elfwriter.h"

#include <QFile>
#include <QTemporaryFile>

#include <algorithm>

#include <gelf.h>
#include <libelf.h>

namespace {

[[noreturn]] void fail(const char *what)
{
    qFatal("ELF writer: %s: %s", what, elf_errmsg(-1));
}

} // namespace

QByteArray writeElf(const ElfFile &file)
{
    if (elf_version(EV_CURRENT) == EV_NONE)
        fail("elf_version");
    QTemporaryFile out;
    if (!out.open())
        qFatal("ELF writer: no temporary file");
    Elf *elf = elf_begin(out.handle(), ELF_C_WRITE, nullptr);
    if (!elf)
        fail("elf_begin");
    // The offsets are this writer's to choose, not libelf's.
    elf_flagelf(elf, ELF_C_SET, ELF_F_LAYOUT);

    const auto phnum = quint64(file.segments.size());
    if (!gelf_newehdr(elf, file.wide ? ELFCLASS64 : ELFCLASS32))
        fail("gelf_newehdr");
    if (phnum > 0 && !gelf_newphdr(elf, phnum))
        fail("gelf_newphdr");
    GElf_Ehdr header;
    if (!gelf_getehdr(elf, &header))
        fail("gelf_getehdr");
    header.e_ident[EI_DATA] = file.bigEndian ? ELFDATA2MSB : ELFDATA2LSB;
    header.e_type = file.type;
    header.e_machine = file.machine.value_or(file.wide ? EM_AARCH64 : EM_ARM);
    header.e_version = EV_CURRENT;
    header.e_entry = file.entry;

    // The headers first: the ELF header, the program headers, the section
    // headers (one section for each segment's bytes, and the null one).
    quint64 shnum = 1;
    for (const ElfSegment &segment : file.segments)
        shnum += segment.bytes.isEmpty() ? 0 : 1;
    header.e_phoff = gelf_fsize(elf, ELF_T_EHDR, 1, EV_CURRENT);
    header.e_shoff = header.e_phoff + phnum * gelf_fsize(elf, ELF_T_PHDR, 1, EV_CURRENT);
    quint64 next = header.e_shoff + shnum * gelf_fsize(elf, ELF_T_SHDR, 1, EV_CURRENT);

    for (qsizetype index = 0; index < file.segments.size(); ++index) {
        const ElfSegment &segment = file.segments[index];
        GElf_Phdr program{};
        program.p_type = segment.type;
        program.p_offset = segment.offset.value_or(next);
        program.p_paddr = segment.paddr;
        program.p_vaddr = segment.vaddr.value_or(segment.paddr);
        program.p_filesz = segment.filesz.value_or(quint64(segment.bytes.size()));
        program.p_memsz = segment.memsz.value_or(program.p_filesz);
        program.p_flags = PF_R | PF_X;
        program.p_align = 1;
        if (!gelf_update_phdr(elf, int(index), &program))
            fail("gelf_update_phdr");
        next = std::max(next, program.p_offset + quint64(segment.bytes.size()));
        if (segment.bytes.isEmpty())
            continue;

        Elf_Scn *section = elf_newscn(elf);
        Elf_Data *data = section ? elf_newdata(section) : nullptr;
        if (!data)
            fail("elf_newdata");
        data->d_buf = const_cast<char *>(segment.bytes.constData()); // only read
        data->d_size = size_t(segment.bytes.size());
        data->d_type = ELF_T_BYTE;
        data->d_align = 1;
        data->d_off = 0;
        data->d_version = EV_CURRENT;
        GElf_Shdr sectionHeader;
        if (!gelf_getshdr(section, &sectionHeader))
            fail("gelf_getshdr");
        sectionHeader.sh_type = SHT_PROGBITS;
        sectionHeader.sh_flags = SHF_ALLOC | SHF_EXECINSTR;
        sectionHeader.sh_addr = program.p_vaddr;
        sectionHeader.sh_offset = program.p_offset;
        sectionHeader.sh_size = data->d_size;
        sectionHeader.sh_addralign = 1;
        if (!gelf_update_shdr(section, &sectionHeader))
            fail("gelf_update_shdr");
    }
    if (!gelf_update_ehdr(elf, &header))
        fail("gelf_update_ehdr");
    if (elf_update(elf, ELF_C_WRITE) < 0)
        fail("elf_update");
    elf_end(elf);

    QFile written(out.fileName());
    if (!written.open(QIODevice::ReadOnly))
        qFatal("ELF writer: cannot read back %s", qPrintable(out.fileName()));
    return written.readAll();
}
