#pragma once

#include "link/lineoptions.h"

#include <QString>
#include <QStringList>

// A local port's line options as a settings file or a command line gives
// them in words, read by the same rules for both faces. The keys are the
// settings file's: low-latency=yes|no, rs485=yes|no, rs485-delays=B,A,
// before=SEQ and after=SEQ (the sequences of linesequence.h).
class LineOptionsReader {
public:
    static QStringList keys();

    // One value; a later one for the same key wins. Empty when it reads,
    // else what the key takes, for a message that names where it was.
    QString read(const QString &key, const QString &text);

    // RS-485 delays given while RS-485 stays off do nothing: what to say of
    // them, else empty.
    QString unusedDelays() const;

    // What was read; delays without RS-485 are left out.
    LineOptions options() const;

private:
    LineOptions m_options;
    bool m_rs485 = false;
    Rs485Mode m_delays;
    bool m_delaysGiven = false;
};
