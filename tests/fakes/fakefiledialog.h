#pragma once

#include "window/filedialog.h"

// A file dialog that "chooses" whatever the test put in `choice`.
class FakeFileDialog : public FileDialog {
public:
    QString choice;
    QString filter;
    int shown = 0;

    void setFilter(const QString &newFilter) override { filter = newFilter; }
    void showOpen() override
    {
        ++shown;
        m_fileName = choice;
    }
    QString fileName() const override { return m_fileName; }

private:
    QString m_fileName;
};
