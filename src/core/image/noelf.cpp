// Stands in for the ELF reader where libelf was not found (Windows, as a
// rule): an ELF file is still told from other files, and refused in words
// that say what to do instead.
#include "image/elfdetails.h"
#include "image/elfimage.h"
#include "shared/runtimeerror.h"

namespace {

[[noreturn]] void refuseElf(const QString &name)
{
    throw RuntimeError(RuntimeError::InvalidFileFormat,
                       QStringLiteral("Invalid file format: %1 is an ELF file, and this build of "
                                      "Bootline reads none (it was built without libelf). "
                                      "Convert it to Intel HEX with objcopy -O ihex, or choose "
                                      "another firmware file.")
                           .arg(name));
}

} // namespace

MemoryImage readElfImage(const QByteArray &, const QString &name)
{
    refuseElf(name);
}

ElfDetails readElfDetails(const QByteArray &, const QString &name)
{
    refuseElf(name);
}
