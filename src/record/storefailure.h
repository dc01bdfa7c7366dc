#pragma once

#include "record/storeaddress.h"

#include <QString>

// Why a store could not be used, in one line: what was tried on which store
// (never its password), the driver's words, and the next step where the
// words say what it is. what: "open", "read" or "write to".
QString storeFailure(const QString &what, const StoreAddress &address, const QString &driverWords);
