#pragma once

#include "window/filedialog.h"

#include <QStringList>

#include <functional>

// A file dialog that "chooses" whatever the test put in `choice`.
class FakeFileDialog : public FileDialog {
public:
    QString choice;
    QString filter;
    int shown = 0;
    std::function<void()> whileShown; // runs as if the dialog were up

    void setFilter(const QString &newFilter) override { filter = newFilter; }
    void showOpen() override
    {
        ++shown;
        if (whileShown)
            whileShown();
        m_fileName = choice;
    }
    QString fileName() const override { return m_fileName; }

    std::optional<quint32> base; // the answer to the base address question; empty: cancel
    QStringList askedBase;       // the files it was asked for
    std::optional<quint32> askBaseAddress(const QString &fileName) override
    {
        askedBase << fileName;
        return base;
    }

private:
    QString m_fileName;
};
