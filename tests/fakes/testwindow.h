#pragma once

#include "engine/engine.h"
#include "engine/handclock.h"
#include "engine/jobpolicy.h"
#include "fakes/fakefiledialog.h"
#include "fakes/fakemessagebox.h"
#include "fakes/fakeserialport.h"
#include "window/lamp.h"
#include "window/mainwindow.h"
#include "window/panel.h"
#include "window/progressbar.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// A real window on the given serial port (empty: the real one), with a fake
// file dialog and fake message boxes, and its controls found by name.
struct WindowUnderTest {
    FakeFileDialog *dialog = new FakeFileDialog;
    FakeMessageBox *messages = new FakeMessageBox;
    MainWindow window;
    Engine &engine;

    explicit WindowUnderTest(std::unique_ptr<SerialPort> serialPort)
        : window(OutsideComponents{std::move(serialPort), std::unique_ptr<FileDialog>(dialog),
                                   std::unique_ptr<MessageBox>(messages)}),
          engine(window.engine())
    {
    }

    template <typename Control> Control *control(const char *name) const
    {
        return window.findChild<Control *>(QString::fromLatin1(name));
    }
    QLineEdit *box(const char *name) const { return control<QLineEdit>(name); }
    QPushButton *button(const char *name) const { return control<QPushButton>(name); }
    QLabel *label(const char *name) const { return control<QLabel>(name); }
    Lamp *lamp() const { return control<Lamp>("linkLamp"); }
    ProgressBar *progress() const { return control<ProgressBar>("progressBar"); }
    QCheckBox *rtu() const { return control<QCheckBox>("rtuCheckBox"); }
};

// The window's timers run on a clock the test moves (a base, so that it is
// there before the window makes them).
struct TimeByHand {
    HandClock time;
};

// A window on a fake serial port; the test drives it by the engine's actions
// and by moving the clock its timers run on.
struct TestWindow : TimeByHand, WindowUnderTest {
    FakeSerialPort *port;

    TestWindow() : TestWindow(new FakeSerialPort) {}

    // The time the probe takes to go out again.
    void probeInterval() { time.advance(JobTiming::ProbeEveryMs); }
    // The board's bytes, as the line brings them, and the poll that takes them in.
    void receive(const QByteArray &bytes)
    {
        port->arrive(bytes);
        time.advance(JobTiming::PollEveryMs);
    }

    // The port open and board 7 found, without RTU framing: ready for a file.
    void openWithPlainBoard()
    {
        rtu()->setChecked(false);
        box("addressBox")->setText("7");
        engine.openPort();
        probeInterval();
        receive("VER=2.03\r\n");
        time.advance(JobTiming::PollEveryMs);
    }

private:
    explicit TestWindow(FakeSerialPort *fake)
        : WindowUnderTest(std::unique_ptr<SerialPort>(fake)), port(fake)
    {
    }
};
