#pragma once

#include <QString>

class QWidget;

// Modal message boxes with a single OK button.
class MessageBox {
public:
    virtual ~MessageBox() = default;

    // No icon, the application's title.
    virtual void plain(const QString &text) = 0;
    // The stop icon and a title of its own.
    virtual void critical(const QString &title, const QString &text) = 0;
};

class QtMessageBox : public MessageBox {
public:
    explicit QtMessageBox(QWidget *parent) : m_parent(parent) {}

    void plain(const QString &text) override;
    void critical(const QString &title, const QString &text) override;

private:
    QWidget *m_parent;
};
