#pragma once
#include <QByteArrayView>
#include <QtEndian>
#include <cstdint>
#include <cstring>
#include <limits>

namespace corvanel::itunesdb {

// Bytes that arrive while they are read, such as a database still being inflated: a read
// past what has come waits for more.
class ByteSource
{
public:
    // The first byte; the bytes stay at this address for the source's life.
    virtual const char *data() const = 0;
    // Waits until the first `end` bytes have come, or no more will; how many have come then.
    // 0 once the source has failed: nothing it gave is to be read any further.
    virtual qsizetype waitFor(qsizetype end) = 0;

protected:
    ~ByteSource() = default;
};

// Bounds-checked little-endian reads over a buffer held in memory whole, or over a source
// whose bytes are still coming.
class ByteReader
{
public:
    explicit ByteReader(QByteArrayView bytes) : m_data(bytes.data()), m_size(bytes.size()) {}
    explicit ByteReader(ByteSource &source) : m_data(source.data()), m_size(source.waitFor(0)), m_source(&source) {}

    // The bytes there so far.
    qsizetype size() const { return m_size; }
    const char *data() const { return m_data; }

    // True when the `length` bytes from `at` lie inside the buffer.
    bool fits(qsizetype at, qsizetype length) const
    {
        if (at >= 0 && length >= 0 && at <= m_size && length <= m_size - at)
            return true;
        return m_source && at >= 0 && length >= 0 && length <= std::numeric_limits<qsizetype>::max() - at &&
               arrived(at + length);
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
    bool arrived(qsizetype end) const
    {
        m_size = m_source->waitFor(end);
        return end <= m_size;
    }

    const char *m_data;
    mutable qsizetype m_size;
    ByteSource *m_source = nullptr;
};

} // namespace corvanel::itunesdb
