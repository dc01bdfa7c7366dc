#pragma once

#include "engine/jobevents.h"

#include <QString>

// A job's outcome in a word, for tests and the soak to list.
inline QString outcomeName(JobResult::Outcome outcome)
{
    switch (outcome) {
    case JobResult::Outcome::Verified:
        return QStringLiteral("verified");
    case JobResult::Outcome::NotVerified:
        return QStringLiteral("not verified");
    case JobResult::Outcome::Refused:
        return QStringLiteral("refused");
    case JobResult::Outcome::Unanswered:
        return QStringLiteral("unanswered");
    case JobResult::Outcome::ExtraReply:
        return QStringLiteral("extra reply");
    case JobResult::Outcome::Restarted:
        return QStringLiteral("restarted");
    case JobResult::Outcome::DeviceLost:
        return QStringLiteral("lost");
    case JobResult::Outcome::Stopped:
        return QStringLiteral("stopped");
    case JobResult::Outcome::Replaced:
        return QStringLiteral("replaced");
    }
    return {};
}
