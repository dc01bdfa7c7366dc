#pragma once

#include "engine/enginestate.h"
#include "engine/jobevents.h"
#include "engine/jobpolicy.h"
#include "engine/pollschedule.h"
#include "engine/replyaction.h"
#include "engine/replywatch.h"
#include "engine/verifyledger.h"
#include "image/firmwarepin.h"
#include "link/serialport.h"
#include "protocol/replykeyword.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class Timer;

// Bootline's whole job, without a window: the serial port, the timers, the
// state they share and the actions on them. Each action lives in the file
// named for what it does: opening the port and probing for the board
// (portcontrol.cpp), framing and writing a command (framewriter.cpp), taking
// replies in (receivepoller.cpp), acting on them (responsedispatcher.cpp),
// sending lines (linesender.cpp), loading a file (firmwareloader.cpp) and the
// device commands (devicecommands.cpp). The pieces with a state of their own
// are small classes beside it: the poll's schedule, the reply watch, the
// verify ledger, the job policy.
//
// A face gives what the operator gives, calls the actions, and follows the
// job by its events: what happened, in the protocol's terms, as it happens.
// What a face shows of them (the window's words and colours: window/panel.h)
// is the face's own. Messages are shown before the action goes on.
class Engine : public QObject {
    Q_OBJECT
public:
    // Empty: the real serial port. Tests pass a fake.
    explicit Engine(std::unique_ptr<SerialPort> port = {}, QObject *parent = nullptr);
    ~Engine() override;

    // Runs one event (a click, a tick) to its end. No failure gets past it:
    // what is left is reported with errorReported, and the engine goes on.
    void run(const std::function<void()> &action);

    // ---- What the operator gives ----
    // "COM<n>", a device path, or socket://HOST:PORT or rfc2217://HOST:PORT.
    QString portName() const { return m_portName; }
    void setPortName(const QString &name) { m_portName = name; }
    QString address() const { return m_address; } // the board's; empty: scan
    void setAddress(const QString &address) { m_address = address; }
    QString newAddress() const { return m_newAddress; }
    void setNewAddress(const QString &address) { m_newAddress = address; }
    bool rtu() const { return m_rtu; } // Modbus RTU framing on
    void setRtu(bool on) { m_rtu = on; }
    // Low latency, RS-485 and the modem line sequences, from the next open on.
    void setLineOptions(const LineOptions &options) { m_port->setLineOptions(options); }

    // ---- The operator's actions, one per button ----
    // "Open Port" (portcontrol.cpp): a network port opens in the background,
    // told by portOpened or portOpenFailed. Close Port gives such an open up.
    void openPort();
    void closePort();    // "Close Port"
    void unload();       // the window closing: closes an open port
    void sendNextLine(); // "Send": the next line (linesender.cpp)
    // The file button; empty: a cancelled dialog. Any firmware format; base
    // is where a raw binary image goes (image/firmwarefile.h).
    void loadFirmwareFile(const QString &fileName, std::optional<quint32> base = std::nullopt);
    void setAddressOrScanNext(); // "Set Addr" / "Next" (devicecommands.cpp)
    void queryBoard();           // "?"
    void installFirmware();      // "Install "

    // ---- How a job is run ----
    // Poll: replies are taken by the 20 ms poll, so a line goes out at most
    // once a poll. Reply: a reply is taken as soon as it is whole, and the
    // next line goes out at once, or gapMs after it for boards that need a
    // breath. The same bytes in the same order; only the wait shrinks.
    enum class Pace { Poll, Reply };
    void setPace(Pace pace, int gapMs = 0);
    Pace pace() const { return m_pace; }
    // Resends, timeouts and when a job ends: the window's unless set.
    void setPolicy(const JobPolicy &policy);
    // loadFirmwareFile refuses any file but the pinned one; a broken pin, every file.
    void setFirmwarePin(FirmwarePin pin) { m_pin = std::move(pin); }
    // The download of lines read already (firmwareloader.cpp): loadFirmwareFile's
    // steps once the file is read, for a face that reads it once for many boards.
    void startDownload(const QList<QByteArray> &entries);

    // ---- Read-only state ----
    QString portError() const { return m_portError; }   // why the last Open Port failed
    const JobResult &jobSoFar() const { return m_job; } // the download job, as it stands
    bool scanning() const { return state.scanning; }    // the port opened with no address

signals:
    void addressChanged(const QString &address); // the scan writes the address it probes
    void
    portButtonsSwapped(); // Open Port and the port name box swap enabled states with Close Port

    // A plain message box; a failure with its number and description. Both
    // are shown, modally in the window, before the action goes on.
    void message(const QString &text);
    void errorReported(int number, const QString &description);

    // ---- Job events: what happened, as it happens ----
    void portOpened();
    void portOpenFailed(const QString &why); // after the message, as portError() says
    void boardFound(const QString &address, const QByteArray &versionReply); // the probe's answer
    void probeSent(const QString &address, int attempt, int attempts);       // to this address
    void probeGaveUp(int probes);              // no answer to any probe
    void passStarted(Pass pass, qint16 lines); // its line 1 is about to go out
    void lineSent(Pass pass, qint16 line);     // first sending only
    void lineAcknowledged(Pass pass, qint16 line);
    void lineResent(Pass pass, qint16 line, int sendings); // the policy sent it again
    void lineRefused(Pass pass, qint16 line, ReplyKeyword keyword, const QByteArray &reply);
    // Overdue after every sending the policy allows; said once per line.
    void lineUnanswered(Pass pass, qint16 line, int sendings);
    void commandAnswered(DeviceCommand command, ReplyKeyword keyword, const QByteArray &reply);
    void commandUnanswered(DeviceCommand command);
    void deviceLost();
    // A download job is over: verified, or what stopped it. Once per job.
    void jobEnded(const JobResult &result);

    // ---- The steps between, for a face that shows the job as it goes ----
    void portOpening(const QString &step); // a network port's open, as it moves on
    void portClosed();
    void probeDue(int attempt); // a probe's turn; one past the last when the probe gives up
    // The poll looked and nothing came, for long enough to blink a lamp by.
    void lineQuiet();
    void downloadReady(qint16 lines); // a file's lines replace the last; line 1 is next
    // The pass has reached this line: it went out, or would have with the port open.
    void lineReached(Pass pass, qint16 line);
    // The line's answer is overdue, by unansweredMs; said again every few seconds.
    void lineOverdue(Pass pass, qint16 line, qint16 lines, int unansweredMs,
                     bool answeredOkNotDownload);
    // A whole reply, before it is acted on; partial, plain text still coming.
    void replyRead(const QByteArray &reply);
    void partialReplyRead(const QByteArray &text);
    void frameRejected(RejectedFrame why, const QByteArray &received); // this read's bytes
    void replyStep(ReplyAction::Step step); // what the reply called for, as it is done
    void jobFailed();   // the job can no longer be known good; jobEnded follows, if it ran
    void askedAfresh(); // "?" or the scan's "Next": the last answer is not this one's

    // ---- The wire, for a trace ----
    // Each frame written, each chunk read, each reply with the keyword it
    // holds (once the dispatcher has acted on it).
    void frameWritten(const QByteArray &frame);
    void bytesReceived(const QByteArray &bytes);
    void replyTaken(const QByteArray &reply, ReplyKeyword keyword);

private:
    // The tests reach the inside through a fixture of theirs.
    friend class EngineInside;

    // What every action reads and writes.
    EngineState state;

    // ---- Run by the timers and the port ----
    void choosePort();     // what the port name names (portcontrol.cpp)
    void awaitOpen();      // the port opens in the background
    void openProgressed(); // and its open has moved on
    void finishOpening();
    void openFailed(const std::exception &error);
    void probeTick(); // tick of m_probeTimer: "BOOTi" until the board answers (portcontrol.cpp)
    void portLost();  // the device went away: close as Close Port does, and say so
    void swapPortButtons();               // see portButtonsSwapped
    qint16 writeFrame(QByteArray &frame); // frames and sends one command (framewriter.cpp)
    void receivePollTick(); // tick of m_pollTimer: takes in the board's replies (receivepoller.cpp)
    void countQuietTick();  // its steps
    void takeReplies();
    void takeRtuReplies(const QByteArray &received);
    void takePlainReplies();
    void actOnReply(); // acts on state.reply (responsedispatcher.cpp)
    void showReplyStep(ReplyAction::Step step);

    // ---- The poll, the reply pace, the reply watch and the job's events ----
    // The poll's schedule (receivepoller.cpp, PollSchedule): asleep on an idle line.
    void pollTimerFired();
    void startPoll();
    void restartPoll();
    void wakePoll();
    void watchArrivals(); // whether bytes coming in need to wake the program
    // The reply pace (receivepoller.cpp).
    void bytesArrived();       // takes a reply as soon as it is whole
    void takeRepliesNow();     // tick of ReplyGap
    void settleReply();        // a quiet line settles a reply kept waiting for its end
    void takeWaitingReplies(); // before a frame goes out unasked by a reply
    // Every reply of one read is handed on before what they call for is done
    // (receivepoller.cpp): see afterReplies.
    void afterReplies(std::function<void()> step);
    void doWhatRepliesCalledFor();
    // The reply watch and the policy (linesender.cpp, responsedispatcher.cpp, ReplyWatch).
    void dispatchReply(); // each answer to the frame that owes it, once
    void actOnAnswer();
    void takeUnaskedVersion();
    void replyBehindTheEnd();
    void failJob(JobResult::Outcome outcome);
    void markFailed();
    void tell(const QString &text); // a message, worded as the terminal face words it
    void replyOverdue();            // tick of ReplyWatch
    void resendLine();              // the awaited line again, byte for byte
    bool lastLineOfPassAwaited() const;
    void sendNextLineOnReply();
    // The commands' answers (devicecommands.cpp, responsedispatcher.cpp).
    void sendCommand(DeviceCommand command, QByteArray frame, int replyMs);
    void commandOverdue(); // tick of CommandWatch
    std::optional<DeviceCommand> commandAnsweredBy(ReplyKeyword keyword);
    // The job events (responsedispatcher.cpp, engine.cpp).
    void reportLineAnswer(ReplyKeyword keyword, Pass pass);
    void endJob(JobResult::Outcome outcome, Pass pass);
    Pass currentPass() const { return state.verifying ? Pass::Verify : Pass::Download; }

    void writeAddress(const QString &address)
    {
        m_address = address;
        emit addressChanged(address);
    }

    std::unique_ptr<SerialPort> m_port;
    Timer *m_probeTimer;        // connection probe, 200 ms
    Timer *m_pollTimer;         // receive poll, 20 ms; sleeps between blinks while nothing comes
    Timer *m_replyWatchTimer;   // the reply to a line is overdue
    Timer *m_commandWatchTimer; // the reply to "Set Addr", "?" or "Install " is overdue
    Timer *m_replyGapTimer;     // reply pace: a quiet line, or the gap before a reply is taken

    QString m_portName;
    QString m_address;
    QString m_newAddress;
    bool m_rtu = true;
    QString m_portError;
    bool m_awaitingOpen = false; // the port opens in the background
    JobPolicy m_policy;
    ReplyWatch m_replyWatch;
    VerifyLedger m_verifyLedger;
    std::optional<DeviceCommand> m_commandAwaited;
    bool m_jobRunning = false;
    bool m_jobAnswered = false;   // a line of this job was answered: the probe's answers are in
    JobResult m_job;              // the download job, so far
    bool m_handingOn = false;     // the replies of one read are being handed on
    bool m_jobEndPending = false; // and one of them ended the job, not yet reported
    bool m_lineDue = false;       // and one called for the next line
    QList<std::function<void()>> m_afterReplies; // and the events and messages they brought
    QByteArray m_versionReply; // the board's answer to the probe, since the port opened
    QElapsedTimer m_passClock;
    PollSchedule m_pollSchedule; // when m_pollTimer ticks: awake, or asleep until the blink
    Pace m_pace = Pace::Poll;
    FirmwarePin m_pin;
    int m_replyGapMs = 0;
};
