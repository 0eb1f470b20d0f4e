#pragma once
#include <QByteArrayView>
#include <QtEndian>
#include <cstdint>
#include <cstring>

namespace corvanel::itunesdb {

// Bounds-checked little-endian reads over a buffer that is held in memory whole.
class ByteReader
{
public:
    explicit ByteReader(QByteArrayView bytes) : m_data(bytes.data()), m_size(bytes.size()) {}

    qsizetype size() const { return m_size; }
    const char *data() const { return m_data; }

    // True when the `length` bytes from `at` lie inside the buffer.
    bool fits(qsizetype at, qsizetype length) const
    {
        return at >= 0 && length >= 0 && at <= m_size && length <= m_size - at;
    }
    // Callers check fits(at, 4) first.
    int32_t int32At(qsizetype at) const { return static_cast<int32_t>(uint32At(at)); }
    uint32_t uint32At(qsizetype at) const
    {
        uint32_t value;
        std::memcpy(&value, m_data + at, sizeof value);
        return qFromLittleEndian(value);
    }

private:
    const char *m_data;
    qsizetype m_size;
};

} // namespace corvanel::itunesdb
