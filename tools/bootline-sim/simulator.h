#pragma once

#include "bootline-sim/board.h"
#include "bootline-sim/commanddecoder.h"
#include "bootline-sim/options.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

// Serves the board on the master side of the pty: reads the host's bytes,
// hands each command to the board and writes the replies out at their time,
// with whatever faults the options ask for.
class Simulator : public QObject {
    Q_OBJECT
public:
    Simulator(int masterFd, const Options &options, QObject *parent = nullptr);

    const Board &board() const { return m_board; }

signals:
    // --exit-after-lines: the last line came in and was left unanswered.
    void lineLimitReached();

private:
    struct Pending {
        qint64 dueMs;
        QByteArray bytes;
        QString logLine; // printed when the bytes go out
    };

    void readHost();
    void take(const Received &received);
    void answer(const QByteArray &command);
    void sendDue();
    void write(const QByteArray &bytes);
    void dropBrokenCommand();
    void log(const QString &line) const;

    const Options m_options;
    const int m_master;
    Board m_board;
    std::unique_ptr<CommandDecoder> m_decoder;
    QSocketNotifier m_readNotifier;
    QTimer m_idleTimer; // a command broken off midway is dropped after this much silence
    QTimer m_sendTimer;
    QElapsedTimer m_clock;
    QList<Pending> m_pending;
    int m_replies = 0;
    bool m_stopped = false;
};
