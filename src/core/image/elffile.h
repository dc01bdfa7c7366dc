#pragma once

#include <QString>

#include <libelf.h>

#include <memory>

// What the ELF reader and --info's details share.

struct ElfEnd {
    void operator()(Elf *elf) const { elf_end(elf); }
};
using ElfHandle = std::unique_ptr<Elf, ElfEnd>;

// The machine a file is built for, by its e_machine: the name binutils'
// readelf gives, shortened, or "machine N".
QString elfMachineName(int machine);

// One of the 32-bit microcontrollers a serial loader serves: ARM
// (Cortex-M), RISC-V, AVR, MSP430 and Xtensa (ESP32). Any other machine is a
// host or a larger processor, which no board here runs.
bool isMicrocontrollerMachine(int machine);
