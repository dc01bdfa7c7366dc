#include "link/telnetcomport.h"

#include <cstddef> // libtelnet.h uses size_t without it

#include <libtelnet.h>

#include <utility>

namespace {

// COM port control commands; the server answers each with its code + 100.
enum Command : quint8 {
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
};
constexpr quint8 ServerAnswer = 100;

constexpr quint32 BaudRate = 115200;
constexpr quint8 DataBits = 8;
constexpr quint8 NoParity = 1;
constexpr quint8 OneStopBit = 1;

// Binary both ways, so that CR and 0xFF pass as they are; no go-aheads; the
// COM port option ours only. Whatever else the server asks for is refused.
bool weWant(quint8 option)
{
    return option == TELNET_TELOPT_BINARY || option == TELNET_TELOPT_SGA ||
           option == TelnetComPort::ComPortOption;
}

bool weWantOfServer(quint8 option)
{
    return option == TELNET_TELOPT_BINARY || option == TELNET_TELOPT_SGA;
}

QByteArray bigEndian(quint32 value)
{
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, sizeof bytes);
}

quint32 valueOf(const QByteArray &bytes)
{
    quint32 value = 0;
    for (const char byte : bytes)
        value = value << 8 | quint8(byte);
    return value;
}

// A setting as the operator would say it, to name what the server did instead.
QString settingText(quint8 command, quint32 value)
{
    switch (command) {
    case SetBaudRate:
        return QStringLiteral("%1 baud").arg(value);
    case SetDataSize:
        return QStringLiteral("%1 data bits").arg(value);
    case SetParity:
        return QStringLiteral("parity code %1").arg(value);
    default:
        return QStringLiteral("stop bits code %1").arg(value);
    }
}

} // namespace

// Proxy mode: libtelnet's own negotiation keeps quiet when the server
// refuses an offer, and that refusal is what tells a fixed line apart.
bool TelnetComPort::isAvailable()
{
    return true;
}

TelnetComPort::TelnetComPort()
    : m_telnet(telnet_init(nullptr, &TelnetComPort::onEvent, TELNET_FLAG_PROXY, this))
{
}

TelnetComPort::~TelnetComPort()
{
    if (m_telnet)
        telnet_free(m_telnet);
}

void TelnetComPort::onEvent(telnet_t *, telnet_event_t *event, void *self)
{
    static_cast<TelnetComPort *>(self)->takeEvent(*event);
}

void TelnetComPort::start()
{
    ask(TELNET_WILL, TELNET_TELOPT_BINARY);
    ask(TELNET_DO, TELNET_TELOPT_BINARY);
    ask(TELNET_WILL, TELNET_TELOPT_SGA);
    ask(TELNET_DO, TELNET_TELOPT_SGA);
    ask(TELNET_WILL, ComPortOption);
}

void TelnetComPort::ask(unsigned char command, quint8 option)
{
    (command == TELNET_WILL ? m_ours : m_theirs)[option] = OptionState::Asked;
    telnet_negotiate(m_telnet, command, option);
}

// An answer to our own offer is taken quietly; a request is answered, yes to
// what we want, no to the rest; a yes already given is not given again, so
// that the two sides never echo each other.
void TelnetComPort::takeRequest(unsigned char request, quint8 option)
{
    const bool aboutUs = request == TELNET_DO || request == TELNET_DONT;
    const bool yes = request == TELNET_DO || request == TELNET_WILL;
    OptionState &state = (aboutUs ? m_ours : m_theirs)[option];
    const bool wanted = aboutUs ? weWant(option) : weWantOfServer(option);
    const unsigned char agree = aboutUs ? TELNET_WILL : TELNET_DO;
    const unsigned char refuse = aboutUs ? TELNET_WONT : TELNET_DONT;
    if (yes && wanted) {
        if (state == OptionState::Off)
            telnet_negotiate(m_telnet, agree, option);
        state = OptionState::On;
    } else if (yes) {
        telnet_negotiate(m_telnet, refuse, option);
    } else {
        if (state == OptionState::On)
            telnet_negotiate(m_telnet, refuse, option);
        state = OptionState::Off;
    }
    if (aboutUs && option == ComPortOption && m_comPortAnswer == ComPortAnswer::Awaited) {
        m_comPortAnswer = yes ? ComPortAnswer::Agreed : ComPortAnswer::Refused;
        if (yes)
            askForLine();
    }
}

QByteArray TelnetComPort::receive(const QByteArray &bytes)
{
    m_payload.clear();
    telnet_recv(m_telnet, bytes.constData(), size_t(bytes.size()));
    return std::exchange(m_payload, {});
}

void TelnetComPort::send(const QByteArray &payload)
{
    telnet_send(m_telnet, payload.constData(), size_t(payload.size()));
}

void TelnetComPort::setControl(Control control)
{
    sendComPortCommand(SetControl, QByteArray(1, char(control)));
}

QByteArray TelnetComPort::takeToSend()
{
    return std::exchange(m_toSend, {});
}

void TelnetComPort::takeEvent(const telnet_event_t &event)
{
    switch (event.type) {
    case TELNET_EV_DATA:
        m_payload.append(event.data.buffer, qsizetype(event.data.size));
        break;
    case TELNET_EV_SEND:
        m_toSend.append(event.data.buffer, qsizetype(event.data.size));
        break;
    case TELNET_EV_WILL:
        takeRequest(TELNET_WILL, event.neg.telopt);
        break;
    case TELNET_EV_WONT:
        takeRequest(TELNET_WONT, event.neg.telopt);
        break;
    case TELNET_EV_DO:
        takeRequest(TELNET_DO, event.neg.telopt);
        break;
    case TELNET_EV_DONT:
        takeRequest(TELNET_DONT, event.neg.telopt);
        break;
    case TELNET_EV_SUBNEGOTIATION:
        if (event.sub.telopt == ComPortOption)
            takeComPortAnswer(QByteArray(event.sub.buffer, qsizetype(event.sub.size)));
        break;
    case TELNET_EV_ERROR:
        m_protocolError = QString::fromUtf8(event.error.msg);
        break;
    default:
        break; // line and modem state notices, other commands: nothing for the board
    }
}

void TelnetComPort::askForLine()
{
    sendComPortCommand(SetBaudRate, bigEndian(BaudRate));
    sendComPortCommand(SetDataSize, QByteArray(1, char(DataBits)));
    sendComPortCommand(SetParity, QByteArray(1, char(NoParity)));
    sendComPortCommand(SetStopSize, QByteArray(1, char(OneStopBit)));
    sendComPortCommand(SetControl, QByteArray(1, char(Control::NoFlowControl)));
    m_unconfirmedSettings = 4; // the control setting's answer is the line's state, not a yes
}

void TelnetComPort::takeComPortAnswer(const QByteArray &answer)
{
    if (answer.isEmpty())
        return;
    const int command = quint8(answer.at(0)) - ServerAnswer;
    if (command < SetBaudRate || command > SetStopSize)
        return;
    const quint32 asked[] = {BaudRate, DataBits, NoParity, OneStopBit};
    const quint32 value = valueOf(answer.mid(1));
    if (value != asked[command - 1] && m_lineSettingRefused.isEmpty())
        m_lineSettingRefused = settingText(quint8(command), value);
    if (m_unconfirmedSettings > 0)
        --m_unconfirmedSettings;
}

void TelnetComPort::sendComPortCommand(quint8 command, const QByteArray &value)
{
    const QByteArray body = char(command) + value;
    telnet_subnegotiation(m_telnet, ComPortOption, body.constData(), size_t(body.size()));
}
