#pragma once

#include "link/plainreceiver.h"
#include "link/rtureceiver.h"
#include "protocol/replykeyword.h"

#include <QByteArray>
#include <QtGlobal>
#include <array>

// The lines of the loaded HEX file. Indexes run 0..9000 and entry 0 is never
// used; any other index is a subscript-out-of-range error. Never cleared: a
// shorter file leaves the entries above its own count as they were.
class LineTable {
public:
    static constexpr qint16 LastIndex = 9000;

    QByteArray &operator[](qint16 index);
    const QByteArray &operator[](qint16 index) const;

private:
    static void check(qint16 index);

    std::array<QByteArray, LastIndex + 1> m_entries;
};

// What the engine's actions share. Counters are 16-bit (see counter.h).
// All zero, false and empty when the engine is created.
struct EngineState {
    // Download of the loaded file
    LineTable lines;
    qint16 lineCount = 0;   // entries of the last complete load
    qint16 lineIndex = 0;   // entry sent last; 0: the next send is entry 1
    bool verifying = false; // lines go out in verify form
    bool downloadRequested = false;
    bool downloading = false;

    // Connection probe
    qint16 probeCount = 0; // next probe, 1..128; in scan mode also the address tried
    bool scanning = false; // the port was opened with an empty address box

    // Receive poll
    QByteArray reply;                           // the reply handed on, what the dispatcher reads
    RtuReceiver rtuReplies{sameReplyEitherWay}; // RTU bytes collected until a whole reply is in
    PlainReceiver plainReplies;                 // plain text collected until a whole reply is in
    qint16 blinkTicks = 0;                      // idle-blink counter, 0..9 between ticks

    // A port opened afresh: nothing from before belongs to it.
    void forgetReceived()
    {
        rtuReplies.clear();
        plainReplies.clear();
    }
};
