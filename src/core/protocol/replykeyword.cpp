#include "protocol/replykeyword.h"

#include <array>
#include <utility>

ReplyKeyword firstReplyKeyword(const QByteArray &reply)
{
    static const std::array<std::pair<const char *, ReplyKeyword>, 5> inTestOrder{{
        {"VER=", ReplyKeyword::Version},
        {"ERROR", ReplyKeyword::Error},
        {"DOWNLOAD", ReplyKeyword::Download},
        {"FORMAT", ReplyKeyword::Format},
        {"OK", ReplyKeyword::Ok},
    }};
    for (const auto &[text, keyword] : inTestOrder) {
        if (reply.contains(text))
            return keyword;
    }
    return ReplyKeyword::None;
}
