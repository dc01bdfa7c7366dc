#include "engine/engine.h"

#include "engine/panelcolours.h"
#include "engine/timer.h"
#include "link/qtserialport.h"
#include "shared/runtimeerror.h"

Engine::Engine(std::unique_ptr<SerialPort> port, QObject *parent)
    : QObject(parent), MSComm1(std::move(port)), Timer3(new Timer(200, this)),
      TMRComm(new Timer(20, this)), ReplyWatch(new Timer(3000, this)),
      m_portName(QStringLiteral("COM3")), m_newAddress(QStringLiteral("10")),
      m_status(QStringLiteral("No info")), m_progressText(QStringLiteral("NO FILE")),
      m_barColour(Colour::Blue), m_lampColour(Colour::White),
      m_portBoxColour(Colour::WindowBackground), m_command1Caption(QStringLiteral("Set Addr"))
{
    if (!MSComm1)
        MSComm1 = std::make_unique<QtSerialPort>();
    Timer3->setObjectName(QStringLiteral("Timer3"));
    TMRComm->setObjectName(QStringLiteral("TMRComm"));
    ReplyWatch->setObjectName(QStringLiteral("ReplyWatch"));
    ReplyWatch->setSingleShot(true);
    connect(Timer3, &QTimer::timeout, this, [this] { run([this] { probeTick(); }); });
    connect(TMRComm, &QTimer::timeout, this, [this] { run([this] { receivePollTick(); }); });
    connect(ReplyWatch, &QTimer::timeout, this, [this] { run([this] { replyOverdue(); }); });
}

Engine::~Engine() = default;

void Engine::run(const std::function<void()> &procedure)
{
    try {
        procedure();
    } catch (const RuntimeError &error) {
        emit errorReported(error.number(), error.description());
    } catch (const std::bad_alloc &) {
        emit errorReported(RuntimeError::OutOfMemory, QStringLiteral("Out of memory."));
    } catch (const std::exception &error) {
        emit errorReported(
            RuntimeError::InternalError,
            QStringLiteral("Internal error: %1").arg(QString::fromLocal8Bit(error.what())));
    }
}

void Engine::writeAddress(const QString &address)
{
    m_address = address;
    emit addressChanged(address);
}

void Engine::setStatus(const QString &status)
{
    m_status = status;
    emit statusChanged(status);
}

void Engine::setAnswer(const QString &answer)
{
    m_answer = answer;
    emit answerChanged(answer);
}

void Engine::setProgressText(const QString &text)
{
    m_progressText = text;
    emit progressTextChanged(text);
}

void Engine::setBarColour(quint32 colour)
{
    m_barColour = colour;
    emit barColourChanged(colour);
}

void Engine::setProgressPosition(int position)
{
    m_progressPosition = position;
    emit progressPositionChanged(position);
}

void Engine::setProgressMaximum(int maximum)
{
    m_progressMaximum = maximum;
    emit progressMaximumChanged(maximum);
}

void Engine::setLampShown(bool shown)
{
    m_lampShown = shown;
    emit lampShownChanged(shown);
}

void Engine::setLampColour(quint32 colour)
{
    m_lampColour = colour;
    emit lampColourChanged(colour);
}

void Engine::setPortBoxColour(quint32 colour)
{
    m_portBoxColour = colour;
    emit portBoxColourChanged(colour);
}

void Engine::setCommand1Caption(const QString &caption)
{
    m_command1Caption = caption;
    emit command1CaptionChanged(caption);
}

void Engine::setSendEnabled(bool enabled)
{
    m_sendEnabled = enabled;
    emit sendEnabledChanged(enabled);
}
