#include "bootline-sim/replyplan.h"

#include "link/rtuframe.h"

namespace {

// Bytes a bus turning round might produce; neither is a device address.
const QByteArray Garbage("\x00\xFF\x00", 3);

constexpr qint64 BytesPerSecond = 115200 / 10;

} // namespace

QByteArray framedReply(Framing framing, quint8 address, const QByteArray &text)
{
    if (framing == Framing::Plain)
        return text + "\r\n";
    return rtuFrame(address, "B" + text);
}

ReplyPlan planReply(const ReplyStyle &style, quint8 address, const QByteArray &text, int ordinal,
                    qsizetype commandBytes)
{
    ReplyPlan plan;
    if (style.silent.contains(ordinal)) {
        plan.faults << QStringLiteral("silent");
        return plan;
    }
    const QByteArray reply = framedReply(style.framing, address, text);
    QByteArray front;
    if (style.garbage.contains(ordinal)) {
        front += Garbage;
        plan.faults << QStringLiteral("garbage");
    }
    if (style.framing == Framing::Rtu && style.badCrc.contains(ordinal)) {
        QByteArray spoilt = reply;
        spoilt[spoilt.size() - 1] = char(spoilt.back() ^ 0x5A);
        front += spoilt;
        plan.faults << QStringLiteral("bad CRC");
    }
    if (style.split.contains(ordinal)) {
        const qsizetype half = reply.size() / 2;
        plan.chunks.append({0, front + reply.left(half)});
        plan.chunks.append({style.splitGapMs, reply.mid(half)});
        plan.faults << QStringLiteral("split");
    } else {
        plan.chunks.append({0, front + reply});
    }

    plan.chunks.first().waitMs += style.latencyMs;
    if (style.wirePacing) {
        plan.chunks.first().waitMs += wireMs(commandBytes);
        for (WireChunk &chunk : plan.chunks)
            chunk.waitMs += wireMs(chunk.bytes.size());
    }
    return plan;
}

int wireMs(qsizetype bytes)
{
    return int((bytes * 1000 + BytesPerSecond - 1) / BytesPerSecond);
}
