#include "engine/engine.h"

#include "engine/panelcolours.h"
#include "engine/timer.h"
#include "link/qtserialport.h"
#include "shared/runtimeerror.h"

Engine::Engine(std::unique_ptr<SerialPort> port, QObject *parent)
    : QObject(parent), MSComm1(std::move(port)), Timer3(new Timer(200, this)),
      TMRComm(new Timer(20, this, Timer::Accuracy::OnTime)), ReplyWatch(new Timer(3000, this)),
      ReplyGap(new Timer(0, this)), m_portName(QStringLiteral("COM3")),
      m_newAddress(QStringLiteral("10")), m_status(QStringLiteral("No info")),
      m_progressText(QStringLiteral("NO FILE")), m_barColour(Colour::Blue),
      m_lampColour(Colour::White), m_portBoxColour(Colour::WindowBackground),
      m_command1Caption(QStringLiteral("Set Addr"))
{
    if (!MSComm1)
        MSComm1 = std::make_unique<QtSerialPort>();
    Timer3->setObjectName(QStringLiteral("Timer3"));
    TMRComm->setObjectName(QStringLiteral("TMRComm"));
    ReplyWatch->setObjectName(QStringLiteral("ReplyWatch"));
    ReplyWatch->setSingleShot(true);
    ReplyGap->setObjectName(QStringLiteral("ReplyGap"));
    ReplyGap->setSingleShot(true);
    MSComm1->setArrivalHandler([this] {
        wakePoll();
        run([this] { bytesArrived(); });
    });
    connect(Timer3, &Timer::timeout, this, [this] { run([this] { probeTick(); }); });
    connect(TMRComm, &Timer::timeout, this, [this] { run([this] { pollTimerFired(); }); });
    connect(ReplyWatch, &Timer::timeout, this, [this] { run([this] { replyOverdue(); }); });
    connect(ReplyGap, &Timer::timeout, this, [this] { run([this] { takeRepliesNow(); }); });
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

void Engine::setPace(Pace pace, int gapMs)
{
    m_pace = pace;
    m_replyGapMs = gapMs;
}
