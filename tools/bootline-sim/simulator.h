#pragma once

#include "bootline-sim/bus.h"
#include "bootline-sim/commanddecoder.h"
#include "bootline-sim/options.h"
#include "bootline-sim/replyqueue.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

class QIODevice;

// Serves the boards on the master side of the pty: reads the host's bytes,
// hands each command to the bus and writes the replies out at their time.
class Simulator : public QObject {
    Q_OBJECT
public:
    // record, when given, gets every byte the host sends.
    Simulator(int masterFd, const Options &options, QIODevice *record, QObject *parent = nullptr);

    const Bus &bus() const { return m_bus; }

    // The boards taken off the line, as an operator swapping them would: the
    // port stays, and nothing answers until they are put back.
    void toggleBoardsAway();

signals:
    // --exit-after-lines: the last line came in and was left unanswered.
    void lineLimitReached();

private:
    void readHost();
    void take(const Received &received);
    void sendDue();
    qint64 nowUs() const;
    void write(const QByteArray &bytes);
    void record(const QByteArray &bytes);
    void dropBrokenCommand();
    void log(const QString &line) const;

    const Options m_options;
    const int m_master;
    QIODevice *m_record;
    Bus m_bus;
    std::unique_ptr<CommandDecoder> m_decoder;
    QSocketNotifier m_readNotifier;
    QTimer m_idleTimer; // a command broken off midway is dropped after this much silence
    QTimer m_sendTimer;
    QElapsedTimer m_clock;
    ReplyQueue m_queue;
    bool m_stopped = false;
    bool m_boardsAway = false;
};
