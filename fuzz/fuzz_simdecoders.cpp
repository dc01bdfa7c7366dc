// The simulator's decoders over the host's byte stream in pieces: every byte
// is accounted for, and what they call a command is one.
#include "check.h"
#include "pieces.h"

#include "bootline-sim/linedecoder.h"
#include "bootline-sim/rtudecoder.h"
#include "link/crc16.h"

namespace {

// The RTU decoder must give back every byte it was fed, in order: a command
// as its whole frame, anything else as the raw bytes left out.
void checkRtu(RtuDecoder &decoder, QByteArray &accounted)
{
    while (const std::optional<Received> found = decoder.next()) {
        if (found->kind != Received::Command) {
            check(!found->bytes.isEmpty(), "the RTU decoder drops at least a byte");
            accounted += found->bytes;
            continue;
        }
        check(found->bytes.startsWith("BOOT"), "an RTU command starts with BOOT");
        const QByteArray framed = char(found->address) + found->bytes + "\r\n";
        accounted += framed + modbusCrc(framed);
    }
}

void checkLines(LineDecoder &decoder)
{
    while (const std::optional<Received> found = decoder.next()) {
        if (found->kind != Received::Command)
            continue;
        check(!found->bytes.isEmpty(), "a blank line is no command");
        check(!found->bytes.contains('\n'), "a command is one line");
        check(found->bytes.size() <= LineDecoder::LongestLine, "a command fits a line");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Pieces writes(data, size);
    RtuDecoder rtu;
    LineDecoder lines;
    QByteArray fed;
    QByteArray accounted;
    QByteArray piece;
    while (writes.next(piece)) {
        fed += piece;
        rtu.feed(piece);
        lines.feed(piece);
        checkRtu(rtu, accounted);
        checkLines(lines);
    }
    accounted += rtu.dropPartial();
    check(accounted == fed, "the RTU decoder accounts for every byte, in order");
    return 0;
}
