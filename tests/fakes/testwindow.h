#pragma once

#include "engine/engine.h"
#include "fakes/engineinside.h"
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
    EngineInside inside{engine};

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

// A window on a fake serial port; the test drives it by calling the engine's
// actions and timer ticks directly.
struct TestWindow : WindowUnderTest {
    FakeSerialPort *port;

    TestWindow() : TestWindow(new FakeSerialPort) {}

    // The port open and board 7 found, without RTU framing: ready for a file.
    void openWithPlainBoard()
    {
        rtu()->setChecked(false);
        box("addressBox")->setText("7");
        engine.openPort();
        inside.probeTick();
        port->incoming = "VER=2.03\r\n";
        inside.receivePollTick();
        inside.receivePollTick();
    }

private:
    explicit TestWindow(FakeSerialPort *fake)
        : WindowUnderTest(std::unique_ptr<SerialPort>(fake)), port(fake)
    {
    }
};
