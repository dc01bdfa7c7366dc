#include "bootline-sim/linedecoder.h"

std::optional<Received> LineDecoder::next()
{
    for (;;) {
        const qsizetype lineFeed = m_buffer.indexOf('\n', m_searched);
        if (lineFeed < 0) {
            if (m_buffer.size() > LongestLine)
                return Received{Received::Dropped, dropPartial(), 0};
            m_searched = m_buffer.size();
            return std::nullopt;
        }
        QByteArray line = m_buffer.left(lineFeed);
        consume(lineFeed + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > LongestLine)
            return Received{Received::Dropped, line, 0};
        if (!line.isEmpty())
            return Received{Received::Command, line, 0};
    }
}
