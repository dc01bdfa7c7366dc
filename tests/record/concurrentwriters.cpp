#include "concurrentwriters.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <memory>
#include <vector>

QString recordWriter()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/bootline-record-writer");
}

QString writeAtOnce(const QString &address, int processes, int records, double *recordsPerSecond)
{
    std::vector<std::unique_ptr<QProcess>> writers;
    QElapsedTimer clock;
    clock.start();
    for (int writer = 1; writer <= processes; ++writer) {
        auto process = std::make_unique<QProcess>();
        process->start(recordWriter(),
                       {address, QString::number(records), QStringLiteral("W%1").arg(writer)});
        writers.push_back(std::move(process));
    }
    QString failures;
    for (std::size_t writer = 0; writer < writers.size(); ++writer) {
        QProcess &process = *writers[writer];
        if (!process.waitForFinished(90000)) {
            process.kill();
            process.waitForFinished();
            failures += QStringLiteral("writer %1 did not finish in 90 s; ").arg(writer + 1);
        } else if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            failures += QStringLiteral("writer %1 ended with %2: %3; ")
                            .arg(writer + 1)
                            .arg(process.exitCode())
                            .arg(QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
        }
    }
    *recordsPerSecond = processes * records * 1000.0 / std::max<qint64>(clock.elapsed(), 1);
    return failures;
}
