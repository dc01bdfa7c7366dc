#include "window/messagebox.h"

#include <QGuiApplication>
#include <QMessageBox>

void QtMessageBox::plain(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, m_parent);
    box.exec();
}

void QtMessageBox::critical(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}
