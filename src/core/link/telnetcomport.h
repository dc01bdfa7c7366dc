#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>

struct telnet_t;
union telnet_event_t;

// The client's side of Telnet with the COM port control option (RFC 2217),
// as bytes in and bytes out: no socket here. libtelnet reads and writes
// Telnet (IAC doubling, commands, subnegotiations); this class answers the
// option requests, asks for the line the board speaks, 115200 8N1 without
// flow control, and keeps the server's answers out of the payload.
class TelnetComPort {
public:
    static constexpr quint8 ComPortOption = 44;
    // SET-CONTROL values for the modem lines.
    enum class Control : quint8 {
        NoFlowControl = 1,
        DtrOn = 8,
        DtrOff = 9,
        RtsOn = 11,
        RtsOff = 12,
    };
    // What became of our offer of the COM port option.
    enum class ComPortAnswer { Awaited, Agreed, Refused };

    // Whether this build speaks Telnet at all: not where libtelnet was not found.
    static bool isAvailable();

    TelnetComPort();
    ~TelnetComPort();
    TelnetComPort(const TelnetComPort &) = delete;
    TelnetComPort &operator=(const TelnetComPort &) = delete;

    // The offers a connection starts with.
    void start();
    // Bytes from the server; returns the payload among them, answers to its
    // requests go to takeToSend().
    QByteArray receive(const QByteArray &bytes);
    // Payload for the board, escaped.
    void send(const QByteArray &payload);
    void setControl(Control control);
    // What must go to the server now, in order.
    QByteArray takeToSend();

    ComPortAnswer comPortAnswer() const { return m_comPortAnswer; }
    // Once the option is agreed: whether the server has confirmed each line
    // setting, and the first one it set otherwise, such as "9600 baud".
    bool lineSettingsConfirmed() const
    {
        return m_comPortAnswer == ComPortAnswer::Agreed && m_unconfirmedSettings == 0;
    }
    QString lineSettingRefused() const { return m_lineSettingRefused; }
    // What went wrong in the Telnet stream, if anything did.
    QString protocolError() const { return m_protocolError; }

private:
    static void onEvent(telnet_t *telnet, telnet_event_t *event, void *self);
    void takeEvent(const telnet_event_t &event);
    // Each option's state on one side: ours (WILL/WONT) or the server's (DO/DONT).
    enum class OptionState : quint8 { Off, Asked, On };
    using OptionStates = std::array<OptionState, 256>;
    void ask(unsigned char command, quint8 option);
    void takeRequest(unsigned char request, quint8 option);
    void askForLine();
    void takeComPortAnswer(const QByteArray &answer);
    void sendComPortCommand(quint8 command, const QByteArray &value);

    telnet_t *m_telnet = nullptr;
    OptionStates m_ours{};   // what we do: binary, no go-ahead, COM port control
    OptionStates m_theirs{}; // what the server does: binary, no go-ahead
    QByteArray m_toSend;
    QByteArray m_payload; // of the receive() under way
    ComPortAnswer m_comPortAnswer = ComPortAnswer::Awaited;
    int m_unconfirmedSettings = 0;
    QString m_lineSettingRefused;
    QString m_protocolError;
};
