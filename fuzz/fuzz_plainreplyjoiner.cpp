// The plain-reply joiner over a reply stream cut into polls anywhere.
#include "check.h"
#include "pieces.h"

#include "protocol/plainreplyjoiner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Pieces polls(data, size);
    PlainReplyJoiner joiner;
    QByteArray piece;
    while (polls.next(piece)) {
        const QByteArray kept = joiner.kept();
        const QByteArray joined = joiner.join(piece);
        check(joiner.kept().size() <= PlainReplyJoiner::Kept, "only a keyword's worth is kept");
        check(!joiner.kept().contains('\n'), "nothing before a line end is kept");
        if (firstReplyKeyword(piece) != ReplyKeyword::None) {
            check(joined == piece, "a poll with a keyword goes on as it came");
            check(joiner.kept().isEmpty(), "a keyword ends what was kept");
        } else {
            check(joined == kept + piece, "kept text goes in front, nothing lost");
            check(joined.endsWith(joiner.kept()), "what is kept is the open end");
        }
    }
    return 0;
}
