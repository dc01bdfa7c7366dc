// bootline-conversion-time FILE...: how long reading a firmware file takes,
// its conversion to Intel HEX records included; the median and the fastest
// of 50 reads each. A file named *.bin is read as a raw binary at 0x08000000.
// scripts/conversion-time.sh makes a 9000-record image in every format for it.
#include "image/firmwarefile.h"
#include "shared/runtimeerror.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    const QCoreApplication app(argc, argv);
    constexpr int Reads = 50;
    for (const QString &path : QCoreApplication::arguments().mid(1)) {
        const std::optional<quint32> base = path.endsWith(QStringLiteral(".bin"))
                                                ? std::optional<quint32>(0x08000000)
                                                : std::nullopt;
        std::vector<double> milliseconds;
        qsizetype records = 0;
        try {
            for (int read = 0; read < Reads; ++read) {
                QElapsedTimer clock;
                clock.start();
                records = FirmwareFile::read(path, base).entries.size();
                milliseconds.push_back(double(clock.nsecsElapsed()) / 1e6);
            }
        } catch (const RuntimeError &refusal) {
            std::fprintf(stderr, "%s\n", qPrintable(refusal.description()));
            return 1;
        }
        std::sort(milliseconds.begin(), milliseconds.end());
        std::printf("%s: %lld records, median %.2f ms, fastest %.2f ms\n", qPrintable(path),
                    static_cast<long long>(records), milliseconds[Reads / 2], milliseconds.front());
    }
    return 0;
}
