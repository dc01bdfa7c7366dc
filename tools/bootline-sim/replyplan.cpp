#include "bootline-sim/replyplan.h"

#include "link/rtuframe.h"

namespace {

// Bytes a bus turning round might produce; neither is a device address.
const QByteArray Garbage("\x00\xFF\x00", 3);

constexpr qint64 BitsPerSecond = 115200;
constexpr qint64 BitsPerByte = 10; // start, 8 data, stop

qint64 microseconds(int ms)
{
    return qint64(ms) * 1000;
}

// The bytes line noise is drawn from. Without upper-case letters, "=", CR and
// LF no reply keyword or line can form by chance in plain text; and as "B" is
// a letter, no RTU address byte can be followed by the "B" every reply starts with.
QByteArray noiseBytes()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b) {
        if (!(b >= 'A' && b <= 'Z') && b != '=' && b != '\r' && b != '\n')
            bytes += char(b);
    }
    return bytes;
}

QByteArray garbageRun(int length, Dice &dice)
{
    static const QByteArray noise = noiseBytes();
    QByteArray run(length, Qt::Uninitialized);
    for (char &b : run)
        b = noise[dice.below(int(noise.size()))];
    return run;
}

// How many of a reply's size bytes go in the first piece: 1 to size - 1.
qsizetype cutAfter(const ReplyStyle &style, qsizetype size, Dice &dice)
{
    if (style.splitPoint == SplitPoint::Random)
        return 1 + dice.below(int(size - 1));
    if (style.splitPoint == SplitPoint::After)
        return qMin(qsizetype(style.splitAfter), size - 1);
    return size / 2;
}

} // namespace

QByteArray framedReply(Framing framing, quint8 address, const QByteArray &text)
{
    if (framing == Framing::Plain)
        return text + "\r\n";
    return rtuFrame(address, "B" + text);
}

ReplyPlan planReply(const ReplyStyle &style, quint8 address, const QByteArray &text, int ordinal,
                    qsizetype commandBytes, Dice &dice)
{
    ReplyPlan plan;
    const auto hit = [&](const ReplySelection &selection, const QString &fault) {
        if (!selection.hits(ordinal, dice))
            return false;
        plan.faults << fault;
        return true;
    };
    if (hit(style.silent, QStringLiteral("silent")))
        return plan;
    if (hit(style.garbageRun, QStringLiteral("garbage run")))
        plan.chunks.append({0, garbageRun(style.garbageLength, dice)});
    const qint64 replyWait = plan.chunks.isEmpty() ? 0 : microseconds(style.splitGapMs);

    const QByteArray reply = framedReply(style.framing, address, text);
    QByteArray front;
    if (hit(style.garbage, QStringLiteral("garbage")))
        front += Garbage;
    if (style.framing == Framing::Rtu && hit(style.badCrc, QStringLiteral("bad CRC"))) {
        QByteArray spoilt = reply;
        spoilt[spoilt.size() - 1] = char(spoilt.back() ^ 0x5A);
        front += spoilt;
    }
    // A reply owed to no command, framed as ours so that only counting can tell.
    QByteArray behind;
    if (hit(style.stray, QStringLiteral("stray"))) {
        const QByteArray stray = framedReply(style.framing, address, style.strayText);
        if (style.strayBehind)
            behind = stray;
        else
            front += stray;
    }
    if (hit(style.split, QStringLiteral("split"))) {
        const qsizetype cut = cutAfter(style, reply.size(), dice);
        plan.chunks.append({replyWait, front + reply.left(cut)});
        plan.chunks.append({microseconds(style.splitGapMs), reply.mid(cut) + behind});
    } else {
        plan.chunks.append({replyWait, front + reply + behind});
    }
    if (hit(style.trailing, QStringLiteral("trailing")))
        plan.chunks.last().bytes += style.trailingBytes;

    if (hit(style.late, QStringLiteral("late")))
        plan.chunks.first().waitUs += microseconds(style.lateMs);
    // The copy is clean and whole: to the host, a reply like any other.
    if (hit(style.doubled, QStringLiteral("doubled"))) {
        if (style.doubledGapMs == 0)
            plan.chunks.last().bytes += reply;
        else
            plan.chunks.append({microseconds(style.doubledGapMs), reply});
    }
    plan.chunks.first().waitUs += microseconds(style.latencyMs);
    if (style.wirePacing) {
        plan.chunks.first().waitUs += wireUs(commandBytes);
        for (WireChunk &chunk : plan.chunks)
            chunk.waitUs += wireUs(chunk.bytes.size());
    }
    return plan;
}

void addTwinReply(const ReplyStyle &style, QList<WireChunk> &chunks, quint8 address,
                  const QByteArray &text, int gapMs, qsizetype commandBytes, const QString &logLine)
{
    const QByteArray reply = framedReply(style.framing, address, text);
    const qint64 replyUs = style.wirePacing ? wireUs(reply.size()) : 0;
    if (chunks.isEmpty()) {
        const qint64 commandUs = style.wirePacing ? wireUs(commandBytes) : 0;
        chunks.append(
            {microseconds(style.latencyMs + gapMs) + commandUs + replyUs, reply, logLine});
    } else if (gapMs == 0) {
        chunks.last().waitUs += replyUs;
        chunks.last().bytes += reply;
        chunks.last().logLine = logLine;
    } else {
        chunks.append({microseconds(gapMs) + replyUs, reply, logLine});
    }
}

qint64 wireUs(qsizetype bytes)
{
    return (bytes * BitsPerByte * 1000000 + BitsPerSecond / 2) / BitsPerSecond;
}
