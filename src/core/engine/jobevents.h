#pragma once

#include "protocol/replykeyword.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

// The words the engine reports a job in: every face follows a job by its
// events.

// The two passes over the image: the lines, then the same lines to check.
enum class Pass { Download, Verify };

// An RTU frame that is no reply for us: another address's, or the board
// saying the command was wrong.
enum class RejectedFrame { OtherAddress, CommandError };

// The commands that are not lines: "?", "Set Addr" and "Install ".
enum class DeviceCommand { Query, NewAddress, Install };

// A download job as it ended: from the file's first line to the verify
// pass's end, or to whatever stopped it.
struct JobResult {
    enum class Outcome {
        Verified,    // every line went out in both passes, each answered in step
        NotVerified, // the verify pass ended on "DOWNLOAD" without every line in step
        Refused,     // the board answered a line "ERROR" or "FORMAT"
        Unanswered,  // a line went unanswered, sent again as often as allowed
        ExtraReply,  // a reply came that no frame was owed: an echo, or two boards answering
        Restarted,   // the board said "VER=" unasked: it started afresh, the image cut short
        DeviceLost,  // the port's device went away
        Stopped,     // the port was closed first, or the window
        Replaced,    // another file was loaded before it ended
    };
    Outcome outcome = Outcome::Verified;
    Pass pass = Pass::Download;         // where it ended
    qint16 line = 0;                    // the line awaited last
    int lineSendings = 0;               // how often it went out
    bool answeredOkNotDownload = false; // the pass's last line was answered "OK"
    qint16 lines = 0;                   // in the image
    qint16 verifiedInStep = 0;          // verify lines answered in step
    int linesSent = 0;                  // line frames written, sent again ones included
    int resends = 0;
    QString file;            // where the image came from, when the engine read it
    QByteArray sha256;       // of that file's bytes, in hex
    QByteArray versionReply; // the board's answer to the probe, if one came
    QByteArray reply;        // the board's last reply in the job
    qint64 downloadMs = 0;   // from the first line out to the end of each pass
    qint64 verifyMs = 0;

    bool verified() const { return outcome == Outcome::Verified; }
};

Q_DECLARE_METATYPE(JobResult)
