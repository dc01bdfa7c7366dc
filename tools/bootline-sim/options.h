#pragma once

#include "bootline-sim/board.h"
#include "bootline-sim/bus.h"
#include "bootline-sim/replyplan.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

class QCoreApplication;

struct Options {
    int portNumber = 3;
    QList<quint8> addresses{1}; // one board at each
    QByteArray versionText = "VER=1.0 SIM";
    Board::CommandReplies commandReplies = Board::CommandReplies::Named;
    ReplyStyle replies;
    BoardFaults boardFaults;
    quint32 seed = 1;
    QString recordPath;     // empty: no record
    int exitAfterLines = 0; // 0: never
    bool exitOnMismatch = false;
    bool quiet = false;
};

// The options on the command line. For --help, prints the help and exits;
// for anything it cannot use, says why and exits with status 1.
Options parseOptions(const QCoreApplication &app);
