#pragma once

#include "engine/pollschedule.h"
#include "engine/verifyledger.h"
#include "engine/windowstate.h"
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

class Timer;

// Bootline's whole job, without a window: the state that every procedure
// shares, the timers, the serial port and the procedures themselves. Each
// procedure is defined in the file of its name in this folder.
//
// What the operator gives (port name, addresses, framing) is set from outside.
// What a procedure shows is the panel: each item has a signal, sent each time
// a procedure sets it (as it would set a control, changed or not), so that a
// face (the window, the terminal front end) shows it its own way. Messages
// leave the same way, and are shown before the procedure goes on.
class Engine : public QObject {
    Q_OBJECT
public:
    // Empty: the real serial port. Tests pass a fake.
    explicit Engine(std::unique_ptr<SerialPort> port = {}, QObject *parent = nullptr);
    ~Engine() override;

    // Read and written by every procedure; public so that tests can set up a situation.
    WindowState state;

    // Runs one event (a click, a tick) to its end. No failure gets past it:
    // what is left is reported with errorReported, and the engine goes on.
    void run(const std::function<void()> &procedure);

    // Loader window: port control and connection probe (portcontrol.cpp)
    void openPort();   // "Open Port"
    void closePort();  // "Close Port"
    void unload();     // the window closing: closes an open port
    void probeTick();  // tick of Timer3: "BOOTi" until the board answers
    void portLost();   // the device went away: close as Close Port does, and say so
    void SwitchTags(); // flips the controls that carry a tag: see tagsSwitched

    // Serial link (framewriter.cpp, receivepoller.cpp)
    qint16 WriteCOM32(QByteArray &COMString); // frames and sends one command
    void receivePollTick();                   // tick of TMRComm: takes in the board's replies
    void bytesArrived();                      // reply pace: takes a reply as soon as it is whole
    void takeRepliesNow();                    // reply pace: tick of ReplyGap

    // Boot protocol and download
    void Com_Parser();                         // responsedispatcher.cpp: acts on state.RxText
    void sendNextLine();                       // linesender.cpp: "Send", the next line
    void replyOverdue();                       // linesender.cpp: tick of ReplyWatch
    void resendLine();                         // linesender.cpp: the awaited line again
    void loadHexFile(const QString &fileName); // hexloader.cpp: empty is a cancelled dialog
    void startDownload(const QList<QByteArray> &entries); // hexloader.cpp: a file read already
    void setAddressOrScanNext();                          // devicecommands.cpp: "Set Addr" / "Next"
    void queryBoard();                                    // devicecommands.cpp: "?"
    void installFirmware();                               // devicecommands.cpp: "Install "

    // What the operator gives.
    QString portName() const { return m_portName; } // "COM<n>"
    void setPortName(const QString &name) { m_portName = name; }
    QString address() const { return m_address; } // the board's; empty: scan
    void setAddress(const QString &address) { m_address = address; }
    QString newAddress() const { return m_newAddress; }
    void setNewAddress(const QString &address) { m_newAddress = address; }
    int rtu() const { return m_rtu; } // Modbus RTU framing: 1 on, 0 off
    void setRtu(int value) { m_rtu = value; }

    // How long a line may go unanswered before lineUnanswered (3 s in the window).
    void setReplyTimeout(int ms);
    // Whether a reply brings the next line, as in the window (on), or only
    // says what the board did (off: a face that sends only what it asks for).
    void setRepliesSendLines(bool on) { m_repliesSendLines = on; }
    // Whether "DOWNLOAD" to a line before the last is taken for a doubled or
    // late reply and let go (on), or ends the pass as in the window (off). A
    // file's only end-of-file record is its last line, so a sound board says
    // "DOWNLOAD" to nothing else.
    void setEarlyDownloadIgnored(bool on) { m_earlyDownloadIgnored = on; }
    // What became of the verify pass, line by line.
    const VerifyLedger &verifyLedger() const { return m_verifyLedger; }
    // Why the last Open Port failed, in words; empty after one that worked.
    QString portError() const { return m_portError; }

    // Poll: replies are taken by the 20 ms poll, so a line goes out at most
    // once a poll. Reply: a reply is taken as soon as it is whole, and the
    // next line goes out at once, or gapMs after it for boards that need a
    // breath. The same bytes in the same order; only the wait shrinks.
    enum class Pace { Poll, Reply };
    void setPace(Pace pace, int gapMs = 0);
    Pace pace() const { return m_pace; }
    // The receive poll's clock; tests pass one they move by hand.
    void setPollClock(PollSchedule::Clock nowMs) { m_pollSchedule.setClock(std::move(nowMs)); }

    // The panel: what the operator sees. Colours are 0x00BBGGRR.
    QString status() const { return m_status; }
    QString answer() const { return m_answer; }
    QString progressText() const { return m_progressText; }
    quint32 barColour() const { return m_barColour; }
    int progressPosition() const { return m_progressPosition; }
    int progressMaximum() const { return m_progressMaximum; }
    bool lampShown() const { return m_lampShown; }
    quint32 lampColour() const { return m_lampColour; }
    quint32 portBoxColour() const { return m_portBoxColour; }
    QString command1Caption() const { return m_command1Caption; } // "Set Addr" or "Next"
    bool sendEnabled() const { return m_sendEnabled; }

signals:
    void addressChanged(const QString &address); // the scan writes the address it probes
    void statusChanged(const QString &status);
    void answerChanged(const QString &answer);
    void progressTextChanged(const QString &text);
    void barColourChanged(quint32 colour);
    void progressPositionChanged(int position);
    void progressMaximumChanged(int maximum);
    void lampShownChanged(bool shown);
    void lampColourChanged(quint32 colour);
    void portBoxColourChanged(quint32 colour);
    void command1CaptionChanged(const QString &caption);
    void sendEnabledChanged(bool enabled);
    void tagsSwitched(); // Open Port and the port name box swap enabled states with Close Port

    // A plain message box; a failure with its number and description. Both
    // are shown, modally in the window, before the procedure goes on.
    void message(const QString &text);
    void errorReported(int number, const QString &description);

    // The job as it happens, for faces that follow it closely (a trace, a
    // script): each frame written, each chunk read, each reply with the
    // keyword it holds (once the dispatcher has acted on it), a line gone
    // unanswered, the device gone.
    void frameWritten(const QByteArray &frame);
    void bytesReceived(const QByteArray &bytes);
    void replyTaken(const QByteArray &reply, ReplyKeyword keyword);
    void lineUnanswered(qint16 line);
    void deviceLost();
    // "DOWNLOAD" to a verify line: the end of the verify pass. Whole when
    // every line of the image went out in order and was answered in step.
    void verifyPassEnded(bool wholeImageVerified);

private:
    // Sets a panel item and tells the faces, as a procedure sets a control.
    template <typename Value, typename Signal>
    void show(Value &item, const Value &value, Signal changed)
    {
        item = value;
        emit(this->*changed)(value);
    }
    void writeAddress(const QString &address) { show(m_address, address, &Engine::addressChanged); }
    void setStatus(const QString &status) { show(m_status, status, &Engine::statusChanged); }
    void setAnswer(const QString &answer) { show(m_answer, answer, &Engine::answerChanged); }
    void setProgressText(const QString &text)
    {
        show(m_progressText, text, &Engine::progressTextChanged);
    }
    void setBarColour(quint32 colour) { show(m_barColour, colour, &Engine::barColourChanged); }
    void setProgressPosition(int position)
    {
        show(m_progressPosition, position, &Engine::progressPositionChanged);
    }
    void setProgressMaximum(int maximum)
    {
        show(m_progressMaximum, maximum, &Engine::progressMaximumChanged);
    }
    void setLampShown(bool shown) { show(m_lampShown, shown, &Engine::lampShownChanged); }
    void setLampColour(quint32 colour) { show(m_lampColour, colour, &Engine::lampColourChanged); }
    void setPortBoxColour(quint32 colour)
    {
        show(m_portBoxColour, colour, &Engine::portBoxColourChanged);
    }
    void setCommand1Caption(const QString &caption)
    {
        show(m_command1Caption, caption, &Engine::command1CaptionChanged);
    }
    void setSendEnabled(bool enabled) { show(m_sendEnabled, enabled, &Engine::sendEnabledChanged); }

    // receivepoller.cpp
    void pollTimerFired();
    void startPoll();
    void restartPoll();
    void wakePoll();
    void blinkLamp();
    void takeReplies();
    void takeRtuReply();
    void settleRtuReply();

    // linesender.cpp, responsedispatcher.cpp
    void dispatchReply();
    bool lastLineOfPassAwaited() const;
    void sendNextLineOnReply();
    void watchReplyTo(qint16 line, const QByteArray &command);

    std::unique_ptr<SerialPort> MSComm1;
    Timer *Timer3;     // connection probe, 200 ms
    Timer *TMRComm;    // receive poll, 20 ms; sleeps between blinks while nothing comes
    Timer *ReplyWatch; // the reply to a line is overdue, 3 s after it went out
    Timer *ReplyGap;   // reply pace: a quiet line, or the gap before a reply is taken

    QString m_portName;
    QString m_address;
    QString m_newAddress;
    int m_rtu = 1;
    QString m_portError;
    int m_replyTimeoutMs = 3000;
    int m_unansweredMs = 0; // how long the awaited line has gone unanswered, once overdue
    bool m_repliesSendLines = true;
    bool m_earlyDownloadIgnored = false;
    bool m_lastLineAnsweredOk = false; // "OK" to the last line: "DOWNLOAD" is awaited
    // A line sent again may be answered twice: the first answer is held until
    // the second comes, or the wait for it is over, so that the board never
    // has two lines to answer and a late answer does not pass for the next's.
    int m_repliesOwed = 0;
    std::optional<QByteArray> m_heldReply;
    QElapsedTimer m_sinceLineSent; // its first sending
    VerifyLedger m_verifyLedger;
    PollSchedule m_pollSchedule; // when TMRComm ticks: awake, or asleep until the blink
    Pace m_pace = Pace::Poll;
    int m_replyGapMs = 0;

    QString m_status;
    QString m_answer;
    QString m_progressText;
    quint32 m_barColour;
    int m_progressPosition = 0;
    int m_progressMaximum = 100;
    bool m_lampShown = false;
    quint32 m_lampColour;
    quint32 m_portBoxColour;
    QString m_command1Caption;
    bool m_sendEnabled = true;
};
