#pragma once

#include "window/messagebox.h"

#include <QList>

// Records the boxes the window would have shown.
class FakeMessageBox : public MessageBox {
public:
    struct Shown {
        bool critical;
        QString title; // empty for a plain box
        QString text;
    };
    QList<Shown> shown;

    void plain(const QString &text) override { shown.append({false, {}, text}); }
    void critical(const QString &title, const QString &text) override { shown.append({true, title, text}); }
};
