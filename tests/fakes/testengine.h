#pragma once

#include "engine/engine.h"
#include "engine/handclock.h"
#include "engine/jobpolicy.h"
#include "fakes/engineinside.h"
#include "fakes/enginereports.h"
#include "fakes/fakeserialport.h"
#include "window/panel.h"

// An engine without a window on a fake serial port, with what it reports
// recorded and what the window would show of it. The test drives it by its
// actions and by moving the clock its timers run on; a test of one of its
// steps may call that step directly (inside).
struct TestEngine {
    HandClock time;
    FakeSerialPort *port = new FakeSerialPort;
    Engine engine{std::unique_ptr<SerialPort>(port)};
    Panel panel{engine}; // first to follow it, as in the window
    EngineInside inside{engine};
    EngineReports reports{engine};
    int tagSwitches = 0; // the window flips its tagged controls on each

    TestEngine()
    {
        QObject::connect(&engine, &Engine::portButtonsSwapped, &engine, [this] { ++tagSwitches; });
    }

    // The board's bytes, taken in by one poll run by hand.
    void receive(const QByteArray &bytes)
    {
        port->incoming += bytes;
        inside.receivePollTick();
    }
    // The board's bytes as the line brings them, and the engine's own poll
    // that takes them in.
    void arrive(const QByteArray &bytes)
    {
        port->arrive(bytes);
        time.advance(JobTiming::PollEveryMs);
    }
    void probeInterval() { time.advance(JobTiming::ProbeEveryMs); }

    // A reply as the poll hands it on: shown and acted on.
    void parse(const QByteArray &reply)
    {
        inside.state.reply = reply;
        inside.actOnReply();
    }
};
