#pragma once

#include <QString>
#include <QStringList>

// What "bootline --help" or "bootline --version" prints instead of opening
// the window; empty when neither is asked for, so the window opens as ever.
// Qt's own options (-platform, -style, -reverse and the like) and options
// nobody knows pass by.
QString helpOrVersionText(const QStringList &arguments);
