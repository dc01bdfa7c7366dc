#pragma once

#include "window/messagebox.h"

#include <QList>
#include <functional>

// Records the boxes the window would have shown.
class FakeMessageBox : public MessageBox {
public:
    struct Shown {
        bool critical;
        QString title; // empty for a plain box
        QString text;
    };
    QList<Shown> shown;
    std::function<void()> whileShown; // runs as if the box were up

    void plain(const QString &text) override { show({false, {}, text}); }
    void critical(const QString &title, const QString &text) override { show({true, title, text}); }

private:
    void show(const Shown &box)
    {
        shown.append(box);
        if (whileShown)
            whileShown();
    }
};
