#pragma once

#include <QByteArray>
#include <QString>

// Bytes for a log line: printable ASCII as is, CR and LF as \r and \n, a
// backslash doubled, any other byte as \xNN.
QString readable(const QByteArray &bytes);

// Text from outside (a board's reply, a stored record) for a terminal: what
// a terminal would obey, control characters and escapes, as \xNN instead;
// printable text, other languages included, as it is.
QString visibleText(const QString &text);

// "1 board", "3 boards": a count and the noun, which names one thing.
QString counted(qsizetype count, const QString &noun);
