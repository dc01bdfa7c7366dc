#include "window/panel.h"

#include "engine/engine.h"
#include "window/panelcolours.h"

Panel::Panel(const Engine &engine, QObject *parent)
    : QObject(parent), m_status(QStringLiteral("No info")),
      m_progressText(QStringLiteral("NO FILE")), m_barColour(Colour::Blue),
      m_lampColour(Colour::White), m_portBoxColour(Colour::WindowBackground),
      m_addressButtonCaption(QStringLiteral("Set Addr"))
{
    const Engine *source = &engine;
    const QString notPresent = QStringLiteral("Not present board");
    connect(source, &Engine::portOpening, this, &Panel::setStatus);
    connect(source, &Engine::portOpened, this,
            [this, source] { showPortOpened(source->scanning()); });
    connect(source, &Engine::portOpenFailed, this, [this, notPresent] { setStatus(notPresent); });
    connect(source, &Engine::portClosed, this, &Panel::showPortClosed);
    // A number shows with a blank in front, where a minus sign would go.
    connect(source, &Engine::probeDue, this, [this](int attempt) {
        setStatus(QStringLiteral("WAIT Connect: ") + u' ' + QString::number(attempt));
    });
    connect(source, &Engine::probeGaveUp, this, [this, notPresent] { setStatus(notPresent); });
    connect(source, &Engine::frameWritten, this, [this] { setLampColour(Colour::SendGreen); });
    connect(source, &Engine::bytesReceived, this, [this] { setLampColour(Colour::Red); });
    connect(source, &Engine::lineQuiet, this, &Panel::blinkLamp);
    connect(source, &Engine::downloadReady, this, &Panel::showDownloadReady);
    connect(source, &Engine::lineReached, this, &Panel::showLineReached);
    connect(source, &Engine::lineOverdue, this, &Panel::showLineOverdue);
    connect(source, &Engine::replyRead, this,
            [this](const QByteArray &reply) { setAnswer(QString::fromLatin1(reply)); });
    connect(source, &Engine::partialReplyRead, this,
            [this](const QByteArray &text) { setAnswer(QString::fromLatin1(text)); });
    connect(source, &Engine::frameRejected, this, &Panel::showRejectedFrame);
    connect(source, &Engine::replyStep, this, &Panel::showReplyStep);
    connect(source, &Engine::jobFailed, this, &Panel::showFailure);
    connect(source, &Engine::askedAfresh, this, [this] { setAnswer(QString()); });
}

void Panel::showPortOpened(bool scanning)
{
    setLampShown(true);
    setPortBoxColour(Colour::Green);
    setAddressButtonCaption(scanning ? QStringLiteral("Next") : QStringLiteral("Set Addr"));
    setStatus(QStringLiteral("Ready"));
    setProgressPosition(0);
    setBarColour(Colour::Navy); // a job's green or red is not the next one's
}

void Panel::showPortClosed()
{
    setProgressText(QStringLiteral("NO FILE"));
    setStatus(QStringLiteral("Closed"));
    setAnswer(QString());
    setPortBoxColour(Colour::WindowBackground);
    setLampShown(false);
}

void Panel::showDownloadReady(qint16 lines)
{
    setProgressMaximum(lines);
    setProgressText(QStringLiteral("READY"));
    setBarColour(Colour::Navy); // the last job's END or ERROR is not this one's
    setSendEnabled(true);
}

void Panel::showLineReached(Pass pass, qint16 line)
{
    if (pass == Pass::Download)
        setProgressText(QStringLiteral("DOWNLOAD"));
    setProgressPosition(line);
}

void Panel::showLineOverdue(Pass pass, qint16 line, qint16 lines, int unansweredMs,
                            bool answeredOkNotDownload)
{
    setAnswer(
        QStringLiteral("No reply to %1 %2 of %3 for %4 s%5")
            .arg(pass == Pass::Verify ? QStringLiteral("verify line") : QStringLiteral("line"))
            .arg(line)
            .arg(lines)
            .arg(unansweredMs / 1000.0)
            .arg(answeredOkNotDownload ? QStringLiteral(": the board answered OK, not DOWNLOAD")
                                       : QString()));
}

void Panel::showRejectedFrame(RejectedFrame why, const QByteArray &received)
{
    const QString label = why == RejectedFrame::OtherAddress ? QStringLiteral("Error ADDR  >> ")
                                                             : QStringLiteral("Error CMD  >> ");
    setAnswer(label + QString::fromLatin1(received));
}

// A refusal and a verify pass out of step show as a failure (showFailure).
void Panel::showReplyStep(ReplyAction::Step step)
{
    switch (step) {
    case ReplyAction::Step::BoardReady:
        setStatus(QStringLiteral("READY"));
        break;
    case ReplyAction::Step::EndVerified:
        setProgressText(QStringLiteral("END"));
        setBarColour(Colour::Green);
        break;
    case ReplyAction::Step::StartVerify:
        setProgressText(QStringLiteral("VERIFY"));
        break;
    case ReplyAction::Step::ClearProgress:
        setProgressText(QString());
        setProgressPosition(0);
        break;
    case ReplyAction::Step::ShowRefusal:
    case ReplyAction::Step::EndNotVerified:
    case ReplyAction::Step::LastLineOk:
    case ReplyAction::Step::Nothing:
        break;
    }
}

void Panel::showFailure()
{
    setProgressText(QStringLiteral("ERROR"));
    setBarColour(Colour::Red);
}

// White and grey take turns; any other colour gives way to white.
void Panel::blinkLamp()
{
    setLampColour(m_lampColour == Colour::White ? Colour::Grey : Colour::White);
}
