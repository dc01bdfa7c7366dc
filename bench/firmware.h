#pragma once

#include <QByteArray>
#include <QList>

// A firmware file of exactly `lines` records, every one different: 16-byte
// data records going up through memory, an extended address record at each
// 64 KiB, and the end-of-file record last.
QList<QByteArray> benchFirmware(int lines);

// What a download and verify of those lines take at least on a 115200 baud
// 8N1 wire, in seconds: each line's RTU frame to board address 1 and its
// "OK" back, in both passes.
double wireFloorSeconds(const QList<QByteArray> &lines);
