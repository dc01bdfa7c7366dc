#pragma once

#include "e2e/examplefiles.h"
#include "fakes/testwindow.h"

#include <QTest>

// A window on the real serial port, opened on COM3 with the given address box.
struct OpenWindow : WindowUnderTest {
    explicit OpenWindow(const QString &address, bool rtu = true) : WindowUnderTest(nullptr)
    {
        this->rtu()->setChecked(rtu);
        box("Text1")->setText(address);
        button("BTNOpenCom")->click();
    }
    bool answered(const char *text, int ms = 3000)
    {
        return QTest::qWaitFor([&] { return box("Text8")->text().contains(text); }, ms);
    }
    bool ready()
    {
        return QTest::qWaitFor([&] { return label("Label2")->text() == "READY"; }, 3000);
    }
    void startDownload(const QString &file)
    {
        dialog->choice = file;
        button("Command3")->click();
    }
    bool finished(int ms)
    {
        return QTest::qWaitFor([&] { return progress()->text() == "END"; }, ms);
    }
    bool download(const QString &file, int ms)
    {
        startDownload(file);
        return finished(ms);
    }
};
