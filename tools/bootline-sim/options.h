#pragma once

#include "bootline-sim/replyplan.h"

#include <QByteArray>
#include <QtGlobal>

class QCoreApplication;

struct Options {
    int portNumber = 3;
    quint8 address = 1;
    QByteArray versionText = "VER=1.0 SIM";
    ReplyStyle replies;
    int exitAfterLines = 0; // 0: never
    bool exitOnMismatch = false;
    bool quiet = false;
};

// The options on the command line. For --help, prints the help and exits;
// for anything it cannot use, says why and exits with status 1.
Options parseOptions(const QCoreApplication &app);
