#include "bootline-sim/board.h"

#include "bootline-sim/hexrecord.h"

#include <cctype>

namespace {

const QByteArray Prefix = "BOOT";
const QByteArray Ok = "OK";
const QByteArray Download = "DOWNLOAD";
const QByteArray Error = "ERROR";
const QByteArray Format = "FORMAT";
const QByteArray Run = "RUN";

// A line as a flash cell that did not take its bit would hold it: one digit off.
QByteArray spoilt(QByteArray line)
{
    line.back() = line.back() == '0' ? '1' : '0';
    return line;
}

} // namespace

Board::Board(quint8 address, const QByteArray &versionText, CommandReplies commandReplies)
    : m_address(address), m_versionText(versionText), m_commandReplies(commandReplies)
{
    // The host knows the probe's answer only by this keyword.
    if (!m_versionText.contains("VER="))
        m_versionText.prepend("VER=");
}

std::optional<QByteArray> Board::handle(const QByteArray &command,
                                        const QList<quint8> &takenAddresses)
{
    if (m_started || !command.startsWith(Prefix))
        return std::nullopt;
    const QByteArray argument = command.mid(Prefix.size());
    if (argument == "i")
        return m_versionText;
    if (argument == "g") {
        m_started = true;
        return m_commandReplies == CommandReplies::Ok ? Ok : Run;
    }
    if (argument.startsWith(':') || argument.startsWith('#'))
        return takeLine(argument);
    if (argument.startsWith('$'))
        return changeAddress(argument.mid(1), takenAddresses);
    return Format;
}

bool Board::isNewLine(const QByteArray &command) const
{
    const QByteArray line = command.mid(Prefix.size());
    return !m_started && command.startsWith(Prefix) &&
           (line.startsWith(':') || line.startsWith('#')) && line != m_lastLine;
}

void Board::restart(const QByteArray &command)
{
    if (command.startsWith(Prefix + ':'))
        ++m_linesReceived;
    else
        ++m_linesVerified;
    m_image.clear();
    m_firstLine.clear();
    m_passEnded = false;
    m_verifyPosition = 0;
    m_verifyPass = {};
    m_lastLine.clear();
    m_lastReply.clear();
}

QByteArray Board::takeLine(const QByteArray &line)
{
    if (line == m_lastLine) {
        ++m_resends;
        return m_lastReply;
    }
    m_lastLine = line;
    m_lastReply = line.startsWith(':') ? download(line) : verify(line);
    return m_lastReply;
}

QByteArray Board::download(const QByteArray &line)
{
    ++m_linesReceived;
    // The host starting the file again: flash is written by address, so the
    // new pass simply writes over the old.
    const bool startedAgain = !m_image.isEmpty() && line == m_firstLine;
    if (m_passEnded || startedAgain) {
        m_image.clear();
        m_passEnded = false;
        m_verifyPosition = 0;
    }
    const std::optional<HexRecord::Type> type = HexRecord::typeOf(line);
    if (!type)
        return Format;
    if (m_image.isEmpty())
        m_firstLine = line;
    m_image.append(m_image.size() + 1 == m_miswrittenLine ? spoilt(line) : line);
    if (*type != HexRecord::EndOfFile)
        return Ok;
    m_passEnded = true;
    m_verifyPosition = 0;
    return Download;
}

QByteArray Board::verify(const QByteArray &line)
{
    ++m_linesVerified;
    const qsizetype position = m_verifyPosition++;
    if (position == 0)
        m_verifyPass = {};
    const bool equal =
        position < m_image.size() && QByteArray(m_image[position]).replace(':', '#') == line;
    ++m_verifyPass.lines;
    if (equal)
        ++m_verifyPass.matched;
    // An end-of-file record closes the verify pass, so a second pass starts at the top again.
    const bool endOfFile =
        HexRecord::typeOf(QByteArray(line).replace('#', ':')) == HexRecord::EndOfFile;
    if (endOfFile) {
        m_verifyPosition = 0;
        m_verifyPass.imageLines = m_image.size();
        m_lastVerifyPass = m_verifyPass;
        ++m_verifyPassesEnded;
    }
    if (!equal) {
        ++m_mismatches;
        return Error;
    }
    return endOfFile ? Download : Ok;
}

QByteArray Board::changeAddress(const QByteArray &digits, const QList<quint8> &takenAddresses)
{
    const bool twoDigits =
        digits.size() == 2 && std::isxdigit(quint8(digits[0])) && std::isxdigit(quint8(digits[1]));
    const int address = twoDigits ? digits.toInt(nullptr, 16) : 0;
    // Two boards at one address would both answer, and their replies collide.
    if (address < 1 || address > HighestAddress || takenAddresses.contains(quint8(address)))
        return Format;
    m_address = quint8(address);
    if (m_commandReplies == CommandReplies::Ok)
        return Ok;
    return "ADDR=" + QByteArray::number(address, 16).toUpper().rightJustified(2, '0');
}
