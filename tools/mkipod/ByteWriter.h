#pragma once
// Little-endian record writing over a growing byte buffer.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstring>

namespace mkipod {

class ByteWriter
{
public:
    explicit ByteWriter(qsizetype reserve = 0) { m_bytes.reserve(reserve); }

    qsizetype size() const { return m_bytes.size(); }
    const QByteArray &bytes() const { return m_bytes; }
    QByteArray take() { return std::move(m_bytes); }

    // Appends a zeroed header of headerLength bytes that starts with the tag and
    // its header length; returns the record's start for the set* and end calls.
    qsizetype beginRecord(const char (&tag)[5], uint32_t headerLength)
    {
        const qsizetype at = m_bytes.size();
        appendZeros(headerLength);
        std::memcpy(m_bytes.data() + at, tag, 4);
        set32(at + 4, headerLength);
        return at;
    }
    // Stores the record's total length (header and children) at offset 8.
    void endRecord(qsizetype at) { set32(at + 8, uint32_t(m_bytes.size() - at)); }

    void appendZeros(qsizetype n)
    {
        const qsizetype at = m_bytes.size();
        m_bytes.resize(at + n);
        std::memset(m_bytes.data() + at, 0, size_t(n));
    }
    void append8(uint8_t v) { m_bytes.append(char(v)); }
    void append16(uint16_t v)
    {
        append8(uint8_t(v));
        append8(uint8_t(v >> 8));
    }
    void append32(uint32_t v)
    {
        char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        m_bytes.append(b, 4);
    }
    void append32be(uint32_t v)
    {
        char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        m_bytes.append(b, 4);
    }
    void append64be(uint64_t v)
    {
        append32be(uint32_t(v >> 32));
        append32be(uint32_t(v));
    }
    void appendBytes(const QByteArray &b) { m_bytes.append(b); }
    void appendBytes(const char *p, qsizetype n) { m_bytes.append(p, n); }
    void appendUtf16Le(const QString &s)
    {
        const qsizetype at = m_bytes.size();
        m_bytes.resize(at + s.size() * 2);
        char *out = m_bytes.data() + at;
        for (QChar c : s) {
            *out++ = char(c.unicode() & 0xFF);
            *out++ = char(c.unicode() >> 8);
        }
    }

    void set8(qsizetype at, uint8_t v) { m_bytes[at] = char(v); }
    void set16(qsizetype at, uint16_t v)
    {
        m_bytes[at] = char(v);
        m_bytes[at + 1] = char(v >> 8);
    }
    void set32(qsizetype at, uint32_t v)
    {
        char *p = m_bytes.data() + at;
        p[0] = char(v);
        p[1] = char(v >> 8);
        p[2] = char(v >> 16);
        p[3] = char(v >> 24);
    }
    void set64(qsizetype at, uint64_t v)
    {
        set32(at, uint32_t(v));
        set32(at + 4, uint32_t(v >> 32));
    }
    void setBytes(qsizetype at, const char *p, qsizetype n) { std::memcpy(m_bytes.data() + at, p, size_t(n)); }

private:
    QByteArray m_bytes;
};

} // namespace mkipod
