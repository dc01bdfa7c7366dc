#include "protocol/replykeyword.h"

#include <array>
#include <utility>

namespace {

const std::array<std::pair<const char *, ReplyKeyword>, 5> InTestOrder{{
    {"VER=", ReplyKeyword::Version},
    {"ERROR", ReplyKeyword::Error},
    {"DOWNLOAD", ReplyKeyword::Download},
    {"FORMAT", ReplyKeyword::Format},
    {"OK", ReplyKeyword::Ok},
}};

} // namespace

ReplyKeyword firstReplyKeyword(const QByteArray &reply)
{
    for (const auto &[text, keyword] : InTestOrder) {
        if (reply.contains(text))
            return keyword;
    }
    return ReplyKeyword::None;
}

bool sameReplyEitherWay(const QByteArray &shorter, const QByteArray &longer)
{
    const ReplyKeyword keyword = firstReplyKeyword(shorter);
    const bool textMatters = keyword == ReplyKeyword::Version || keyword == ReplyKeyword::None;
    return !textMatters && keyword == firstReplyKeyword(longer);
}

QByteArray replyKeywordText(ReplyKeyword keyword)
{
    for (const auto &[text, each] : InTestOrder) {
        if (each == keyword)
            return text;
    }
    return {};
}
