#pragma once

#include <QDateTime>
#include <QString>

#include <memory>

class Trace;

// --trace-dir: a trace file of its own for each board job, in one folder.

// Makes the folder when missing and tries a file in it: empty when traces
// can be written there, else why not, in words for the user.
QString prepareTraceFolder(const QString &folder);

// The job's start (UTC), port and board, such as
// 20261208T190007.123Z_dev-ttyUSB0_board-scan.trace: the port without its
// leading '/', and any character but letters, digits, '.', '_' and '-' as '-'.
QString traceFileName(const QDateTime &started, const QString &port, const QString &board);

// A new trace in the folder under fileName, or when a file has that name,
// under the first of name-2.trace, name-3.trace... that is free: no file is
// ever replaced. Its absolute path in path; null, with why in error, when
// none can be made.
std::unique_ptr<Trace> openJobTrace(const QString &folder, const QString &fileName, QString *path,
                                    QString *error);
