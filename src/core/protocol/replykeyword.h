#pragma once

#include <QByteArray>

// The reply keywords the host understands, in the order they are looked for.
enum class ReplyKeyword { None, Version, Error, Download, Format, Ok };

// The longest keyword, "DOWNLOAD".
inline constexpr qsizetype LongestReplyKeyword = 8;

// The first keyword, in that order, that occurs anywhere in the reply (case matters).
ReplyKeyword firstReplyKeyword(const QByteArray &reply);

// The board refuses what it was sent: "ERROR" or "FORMAT".
inline bool isRefusal(ReplyKeyword keyword)
{
    return keyword == ReplyKeyword::Error || keyword == ReplyKeyword::Format;
}

// Whether a reply read with one character more says the same: the same
// keyword, and one whose exact text does not matter (a version does, and a
// reply without a keyword, "ADDR=" or "RUN", is all text).
bool sameReplyEitherWay(const QByteArray &shorter, const QByteArray &longer);

// The keyword as the board writes it ("VER=", "OK"); empty for None.
QByteArray replyKeywordText(ReplyKeyword keyword);
