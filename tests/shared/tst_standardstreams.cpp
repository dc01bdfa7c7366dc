#include "shared/standardstreams.h"

#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Started with standard streams closed, the program must not hand their
// numbers to the next file it opens.
class TestStandardStreams : public QObject {
    Q_OBJECT
private slots:
    void closedStreamsGoToDevNull_data();
    void closedStreamsGoToDevNull();
};

namespace {

bool isDevNull(int fd, const struct stat &devNull)
{
    struct stat opened = {};
    return ::fstat(fd, &opened) == 0 && S_ISCHR(opened.st_mode) &&
           opened.st_rdev == devNull.st_rdev;
}

} // namespace

void TestStandardStreams::closedStreamsGoToDevNull_data()
{
    QTest::addColumn<QList<int>>("closed");
    QTest::newRow("all three") << QList<int>{0, 1, 2};
    QTest::newRow("output only") << QList<int>{1};
    QTest::newRow("input and error") << QList<int>{0, 2};
}

// In a child process, as the streams are the process's own.
void TestStandardStreams::closedStreamsGoToDevNull()
{
    QFETCH(QList<int>, closed);
    struct stat devNull = {};
    QVERIFY(::stat("/dev/null", &devNull) == 0);
    const int kept = ::open("/dev/zero", O_RDONLY); // an open stream that must stay as it is
    QVERIFY(kept >= 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        int streamsBefore[3] = {-1, -1, -1};
        for (int stream = 0; stream < 3; ++stream) {
            if (closed.contains(stream)) {
                ::close(stream);
            } else {
                ::dup2(kept, stream);
                streamsBefore[stream] = stream;
            }
        }
        guardStandardStreams();
        // What the next file opened gets: never a standard stream.
        const int next = ::open("/dev/zero", O_RDONLY);
        int failures = next > 2 ? 0 : 1;
        for (int stream = 0; stream < 3; ++stream) {
            const bool shouldBeNull = streamsBefore[stream] < 0;
            if (isDevNull(stream, devNull) != shouldBeNull)
                failures |= 2 << stream;
        }
        ::_exit(failures);
    }
    ::close(kept);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0); // bit 0: the next file took a stream; bit 1+n: stream n
}

QTEST_APPLESS_MAIN(TestStandardStreams)
#include "tst_standardstreams.moc"
