#pragma once

#include "link/plainreceiver.h"
#include "link/rtureceiver.h"

#include <QByteArray>
#include <QtGlobal>
#include <array>

// The lines of the loaded HEX file. Indexes run 0..9000 and entry 0 is never
// used; any other index is a subscript-out-of-range error. Never cleared: a
// shorter file leaves the entries above its own count as they were.
class HexLineTable {
public:
    static constexpr qint16 LastIndex = 9000;

    QByteArray &operator[](qint16 index);
    const QByteArray &operator[](qint16 index) const;

private:
    static void check(qint16 index);

    std::array<QByteArray, LastIndex + 1> m_entries;
};

// What every procedure of the window shares. Counters and flags are 16-bit;
// flags hold 0 or 1. All zero and empty when the window is created.
struct WindowState {
    // Download of the loaded file
    HexLineTable HexLines;
    qint16 LineCount = 0;  // entries of the last complete load
    qint16 LineIndex = 0;  // entry sent last; 0: the next send is entry 1
    qint16 VerifyMode = 0; // 1: lines go out in verify form
    qint16 DownloadRequested = 0;
    qint16 DownloadActive = 0;

    // Connection probe
    qint16 ProbeCount = 0; // next probe, 1..128; in scan mode also the address tried
    qint16 ScanMode = 0;   // 1: the port was opened with an empty address box

    // Receive poll
    QByteArray RxText;          // the reply handed on, what the dispatcher reads
    RtuReceiver RxBuffer;       // RTU bytes collected until a whole reply is in
    PlainReceiver PlainReplies; // plain text collected until a whole reply is in
    qint16 BlinkTicks = 0;      // idle-blink counter, 0..9 between ticks

    // A port opened afresh: nothing from before belongs to it.
    void forgetReceived()
    {
        RxBuffer.clear();
        PlainReplies.clear();
    }
};
