#include "image/elffile.h"

#include <elf.h>

namespace {

struct Machine {
    int number;
    const char *name;
    bool microcontroller;
};

constexpr Machine Machines[] = {
    {EM_ARM, "ARM", true},
    {EM_RISCV, "RISC-V", true},
    {EM_AVR, "AVR", true},
    {EM_MSP430, "MSP430", true},
    {EM_XTENSA, "Xtensa", true},
    {EM_NONE, "none", false},
    {EM_68K, "Motorola 68000", false},
    {EM_386, "x86", false},
    {EM_X86_64, "x86-64", false},
    {EM_AARCH64, "AArch64", false},
    {EM_PPC, "PowerPC", false},
    {EM_PPC64, "PowerPC 64", false},
    {EM_MIPS, "MIPS", false},
    {EM_SH, "SuperH", false},
    {EM_S390, "S/390", false},
    {EM_SPARC, "SPARC", false},
    {EM_SPARCV9, "SPARC V9", false},
    {EM_LOONGARCH, "LoongArch", false},
};

const Machine *machineOf(int number)
{
    for (const Machine &machine : Machines) {
        if (machine.number == number)
            return &machine;
    }
    return nullptr;
}

} // namespace

QString elfMachineName(int machine)
{
    const Machine *known = machineOf(machine);
    return known ? QString::fromLatin1(known->name) : QStringLiteral("machine %1").arg(machine);
}

bool isMicrocontrollerMachine(int machine)
{
    const Machine *known = machineOf(machine);
    return known && known->microcontroller;
}
