// The plain-reply receiver over a reply stream cut into reads anywhere.
#include "check.h"
#include "pieces.h"

#include "link/plainreceiver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Pieces reads(data, size);
    PlainReceiver receiver;
    QByteArray piece;
    while (reads.next(piece)) {
        receiver.collect(piece);
        while (const std::optional<QByteArray> reply = receiver.next()) {
            const qsizetype lineEnd = reply->indexOf('\n');
            check(lineEnd < 0 || lineEnd == reply->size() - 1, "one reply at a time");
            check(lineEnd >= 0 || firstReplyKeyword(*reply) != ReplyKeyword::None,
                  "an unfinished line goes on only with a keyword");
            check(reply->size() > 2 || !reply->endsWith('\n') || reply->at(0) != '\r',
                  "a bare line end is no reply");
        }
        const QByteArray &kept = receiver.pending();
        check(!kept.contains('\n'), "every whole line went on");
        const ReplyKeyword waiting = firstReplyKeyword(kept);
        check(waiting == ReplyKeyword::None || waiting == ReplyKeyword::Version,
              "only a version waits for its line end");
        check(kept.size() <= PlainReceiver::Kept, "only a little is kept");
    }
    return 0;
}
