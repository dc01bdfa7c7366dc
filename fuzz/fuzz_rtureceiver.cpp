// The RTU receive path as the receive poll drives it: the first byte is our
// address, the rest arrives in pieces, one per poll.
#include "check.h"
#include "pieces.h"

#include "link/crc16.h"
#include "link/rtureceiver.h"
#include "protocol/replykeyword.h"

namespace {

bool isChecksummed(const QByteArray &frame)
{
    quint16 crc = Crc16::Initial;
    for (const char byte : frame)
        crc = Crc16::step(crc, quint8(byte));
    return crc == 0;
}

// A reply must have been cut from what was collected: a frame for us with a
// matching checksum, with only what lay before it gone.
void checkReply(const QByteArray &before, const RtuReceiver &receiver,
                const RtuReceiver::Verdict &verdict, quint8 address)
{
    const QByteArray &after = receiver.bytes();
    check(before.endsWith(after), "what is left after a reply is the end of what came");
    const qsizetype end = before.size() - after.size();
    const qsizetype start = end - verdict.reply.size() - 4;
    check(start >= 0, "a reply lies within what came");
    const QByteArray frame = before.mid(start, end - start);
    check(quint8(frame[0]) == address && frame[1] == 'B', "a reply is a frame for us");
    check(frame.mid(2, verdict.reply.size()) == verdict.reply, "the reply is the frame's text");
    check(isChecksummed(frame), "a reply's checksum matches");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const quint8 address = data[0];
    Pieces polls(data + 1, size - 1);
    RtuReceiver receiver{sameReplyEitherWay};
    QByteArray piece;
    while (polls.next(piece)) {
        if (piece.isEmpty())
            continue; // the poll reads nothing when nothing is waiting
        const QByteArray offered = receiver.bytes() + piece;
        const bool enough = receiver.collect(piece);
        check(receiver.bytes().size() <= RtuReceiver::Capacity, "the buffer stays within bound");
        check(offered.endsWith(receiver.bytes()), "collecting drops only the oldest bytes");
        if (!enough)
            continue;
        const QByteArray before = receiver.bytes();
        const RtuReceiver::Verdict verdict = receiver.examine(address);
        check(before.endsWith(receiver.bytes()), "examining drops only a prefix");
        switch (verdict.kind) {
        case RtuReceiver::Verdict::Wait:
            break;
        case RtuReceiver::Verdict::AddressError:
        case RtuReceiver::Verdict::CommandError:
            check(receiver.bytes().isEmpty(), "rejected bytes are all dropped");
            break;
        case RtuReceiver::Verdict::Reply:
            checkReply(before, receiver, verdict, address);
            receiver.clear(); // as the engine does once it has its reply
            break;
        }
    }
    return 0;
}
