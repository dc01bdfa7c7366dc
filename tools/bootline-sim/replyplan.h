#pragma once

#include "bootline-sim/dice.h"
#include "bootline-sim/replyselection.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

enum class Framing { Plain, Rtu };

// Where a split reply is cut.
enum class SplitPoint {
    Half,   // after half its bytes
    After,  // after ReplyStyle::splitAfter bytes, or all but the last if it is shorter
    Random, // after 1 to all but the last of its bytes, drawn for each reply
};

// How the board's replies go out: framing, timing and the faults to inject.
struct ReplyStyle {
    Framing framing = Framing::Rtu;
    int latencyMs = 0;
    bool wirePacing = false; // 115200 baud 8N1: each byte takes 10 bits
    ReplySelection split;    // sent in two pieces, splitGapMs apart
    SplitPoint splitPoint = SplitPoint::Half;
    int splitAfter = 1;
    int splitGapMs = 30;
    ReplySelection garbage;    // stray bytes in front
    ReplySelection garbageRun; // a long run of noise in its own write, splitGapMs before
    int garbageLength = 1500;
    ReplySelection badCrc;   // RTU: a copy with a spoilt checksum goes first
    ReplySelection trailing; // trailingBytes right after, in the same write
    QByteArray trailingBytes = QByteArray(1, '\0');
    ReplySelection late; // lateMs later, on top of latencyMs
    int lateMs = 4000;
    ReplySelection silent;  // not sent at all
    ReplySelection doubled; // a second whole copy follows, doubledGapMs after the first
    int doubledGapMs = 5;   // 0: both copies in one write
    // Another reply of ours, strayText, in the same write: right in front of
    // the reply (after any garbage), or right behind it with strayBehind.
    ReplySelection stray;
    QByteArray strayText = "OK";
    bool strayBehind = false;
};

// One write to the port, after a wait counted from the write before it (for
// the first, from the command's arrival). Microseconds, as a frame on a fast
// wire takes a few milliseconds and rounding each up would slow it by a fifth.
struct WireChunk {
    qint64 waitUs = 0;
    QByteArray bytes;
    QString logLine = {}; // printed as the write goes out; planReply leaves it empty
};

struct ReplyPlan {
    QList<WireChunk> chunks; // none when the reply is held back
    QStringList faults;      // the faults applied, for the log
};

// The bytes for reply text alone: plain, text and CR LF; RTU, "B" and text
// framed from address, without CR LF.
QByteArray framedReply(Framing framing, quint8 address, const QByteArray &text);

// What goes on the wire for the ordinal-th reply (counted from 1), sent from
// address, to a command that took commandBytes on the wire. Random faults and
// noise are drawn from dice.
ReplyPlan planReply(const ReplyStyle &style, quint8 address, const QByteArray &text, int ordinal,
                    qsizetype commandBytes, Dice &dice);

// Adds a second board's reply to the same command, sent from address, to the
// first board's writes: gapMs after the last of them (in that write for 0),
// or alone where the first board's would have gone when it sent none. It is
// clean of faults but keeps the style's latency and wire pacing.
void addTwinReply(const ReplyStyle &style, QList<WireChunk> &chunks, quint8 address,
                  const QByteArray &text, int gapMs, qsizetype commandBytes,
                  const QString &logLine);

// The time bytes take at 115200 baud 8N1, in microseconds.
qint64 wireUs(qsizetype bytes);
