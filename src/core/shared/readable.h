#pragma once

#include <QByteArray>
#include <QString>

// Bytes for a log line: printable ASCII as is, CR and LF as \r and \n, a
// backslash doubled, any other byte as \xNN.
QString readable(const QByteArray &bytes);
