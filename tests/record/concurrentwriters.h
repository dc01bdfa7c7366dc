#pragma once

#include <QString>

// bootline-record-writer, built beside the tests.
QString recordWriter();

// Runs bootline-record-writer in that many processes at once, each keeping
// that many records in the store at the address, on the ports W1, W2, ...
// Returns what went wrong, or an empty text when every writer stored all its
// records; and the records per second of the whole, from the first start to
// the last exit.
QString writeAtOnce(const QString &address, int processes, int records, double *recordsPerSecond);
