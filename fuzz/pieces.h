#pragma once

#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <cstdint>

// Cuts a fuzzer's input into the pieces a serial line might deliver them in:
// each piece is a length byte followed by up to that many bytes.
class Pieces {
public:
    Pieces(const uint8_t *data, size_t size) : m_at(data), m_end(data + size) {}

    bool next(QByteArray &piece)
    {
        if (m_at == m_end)
            return false;
        const size_t wanted = *m_at++;
        const size_t length = std::min<size_t>(wanted, size_t(m_end - m_at));
        piece = QByteArray(reinterpret_cast<const char *>(m_at), qsizetype(length));
        m_at += length;
        return true;
    }

private:
    const uint8_t *m_at;
    const uint8_t *m_end;
};
