#pragma once

#include <QString>

// Makes the folder and those above it where missing. Empty when it is there
// now; otherwise the system's reason, such as "permission denied" or "not a directory".
QString makeFolder(const QString &path);
