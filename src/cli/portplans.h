#pragma once

#include "line/runoptions.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <variant>

// The ports and addresses of -p and -a.

// COM<n> in digits, a device path or a network port; what is wrong with it, if anything.
QString checkPortName(const QString &name);

// The address box text for each board of an address list.
std::variant<QStringList, QString> addressTexts(const QString &list);

// The ports of "-p A,B@1-4,C@2,5", each with its addresses; those without a
// list of their own take commonAddresses.
std::variant<QList<PortPlan>, QString> portPlans(const QString &text,
                                                 const QStringList &commonAddresses, bool watch);
