#include "CompressedDatabase.h"
#include "ByteReader.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <new>
#include <zlib.h>

namespace corvanel::itunesdb {

namespace {

constexpr qsizetype HeaderLengthAt = 4;
constexpr qsizetype TotalLengthAt = 8;
constexpr qsizetype CompressionWordAt = 12;  // 2 in a compressed file, 1 in a plain one
constexpr qsizetype CompressedFlagAt = 0xA8; // 16 bits: 1 while the records are compressed
constexpr qsizetype SmallestHeader = CompressionWordAt + 4;

constexpr qint64 InputChunk = qint64(1) << 20; // compressed bytes between progress calls
constexpr qint64 FirstGuessRatio = 8;          // inflated bytes per compressed byte, to start with
constexpr qint64 SmallestBuffer = qint64(64) << 10;

// The header's own length when it is plausible: at least up to the compression word, inside the file.
qsizetype headerLength(QByteArrayView file)
{
    const ByteReader in(file);
    if (!in.fits(0, SmallestHeader) || std::memcmp(file.data(), "mhbd", 4) != 0)
        return 0;
    const int32_t length = in.int32At(HeaderLengthAt);
    return length >= SmallestHeader && in.fits(0, length) ? length : 0;
}

// A zlib stream's two-byte header: deflate with a window of at most 32 KiB, and the check bits.
bool startsZlibStream(QByteArrayView body)
{
    if (body.size() < 2)
        return false;
    const auto method = static_cast<unsigned char>(body[0]);
    const auto flags = static_cast<unsigned char>(body[1]);
    return (method & 0x0F) == Z_DEFLATED && (method >> 4) <= 7 && ((method << 8) | flags) % 31 == 0;
}

InflateError failure(InflateError::Kind kind, qint64 offset, const QString &message)
{
    return InflateError{kind, offset, message};
}

QString noMemory()
{
    return QStringLiteral("there is not enough memory to inflate the database");
}

class Inflater
{
public:
    Inflater(QByteArrayView body, qsizetype bodyAt, qint64 cap) : m_body(body), m_bodyAt(bodyAt), m_cap(cap) {}
    ~Inflater()
    {
        if (m_started)
            inflateEnd(&m_stream);
    }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;

    // Inflates the whole stream into `out` from `at` on; `out` ends right after the last byte.
    std::expected<void, InflateError> run(QByteArray &out, qsizetype at, const LoadProgress &progress)
    {
        if (inflateInit(&m_stream) != Z_OK)
            return std::unexpected(failure(InflateError::Kind::NoMemory, m_bodyAt, noMemory()));
        m_started = true;
        for (;;) {
            if (m_stream.avail_in == 0 && m_fed < m_body.size())
                feed(progress);
            if (m_stream.avail_out == 0) {
                if (auto grown = grow(out, at); !grown)
                    return grown;
            }
            const int status = inflate(&m_stream, Z_NO_FLUSH);
            if (status == Z_STREAM_END)
                break;
            if (status == Z_OK || (status == Z_BUF_ERROR && m_stream.avail_out == 0))
                continue;
            if (status == Z_BUF_ERROR)
                return std::unexpected(failure(InflateError::Kind::Truncated, m_bodyAt + m_fed,
                                               QStringLiteral("the compressed database ends before its data does")));
            if (status == Z_MEM_ERROR)
                return std::unexpected(failure(InflateError::Kind::NoMemory, reached(), noMemory()));
            return std::unexpected(
                failure(InflateError::Kind::Corrupt, reached(),
                        QStringLiteral("the compressed database is damaged at byte %1 (%2)")
                            .arg(reached())
                            .arg(QString::fromLatin1(m_stream.msg ? m_stream.msg : "invalid data"))));
        }
        out.resize(at + static_cast<qsizetype>(m_stream.total_out));
        if (progress)
            progress(m_body.size(), m_body.size());
        return {};
    }

private:
    qint64 reached() const { return m_bodyAt + m_fed - m_stream.avail_in; }

    void feed(const LoadProgress &progress)
    {
        const qint64 take = std::min<qint64>(InputChunk, m_body.size() - m_fed);
        m_stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(m_body.data() + m_fed));
        m_stream.avail_in = static_cast<uInt>(take);
        if (progress && m_fed > 0)
            progress(m_fed, m_body.size());
        m_fed += take;
    }

    // Makes room after what was inflated so far, doubling each time, up to the cap.
    std::expected<void, InflateError> grow(QByteArray &out, qsizetype at)
    {
        const auto produced = static_cast<qint64>(m_stream.total_out);
        if (produced >= m_cap)
            return std::unexpected(
                failure(InflateError::Kind::TooLarge, reached(),
                        QStringLiteral("the compressed database inflates to more than %1 MB, far more than a real one")
                            .arg(m_cap >> 20)));
        const qint64 room =
            std::min(m_cap, produced == 0 ? std::max(SmallestBuffer, m_body.size() * FirstGuessRatio) : produced * 2);
        try {
            out.resize(at + static_cast<qsizetype>(room));
        } catch (const std::bad_alloc &) {
            return std::unexpected(failure(InflateError::Kind::NoMemory, reached(), noMemory()));
        }
        m_stream.next_out = reinterpret_cast<Bytef *>(out.data() + at + produced);
        m_stream.avail_out = static_cast<uInt>(std::min<qint64>(room - produced, UINT32_MAX));
        return {};
    }

    QByteArrayView m_body;
    qsizetype m_bodyAt;
    qint64 m_cap;
    qint64 m_fed = 0;
    z_stream m_stream{};
    bool m_started = false;
};

} // namespace

bool isCompressedDatabase(QByteArrayView file)
{
    const qsizetype length = headerLength(file);
    if (length == 0)
        return false;
    const QByteArrayView body = file.sliced(length);
    return !body.startsWith("mhsd") && startsZlibStream(body);
}

std::expected<QByteArray, InflateError> inflateDatabase(QByteArrayView file, const LoadProgress &progress, qint64 limit)
{
    const qsizetype length = headerLength(file);
    if (length == 0 || !isCompressedDatabase(file))
        return std::unexpected(
            failure(InflateError::Kind::Corrupt, 0, QStringLiteral("the file is not a compressed iTunes database")));
    const QByteArrayView body = file.sliced(length);
    const qint64 cap = std::min(limit, std::max(InflationFloor, body.size() * MaxInflationRatio));
    QByteArray out;
    try {
        out = file.first(length).toByteArray();
    } catch (const std::bad_alloc &) {
        return std::unexpected(failure(InflateError::Kind::NoMemory, 0, noMemory()));
    }
    Inflater inflater(body, length, cap);
    if (auto inflated = inflater.run(out, length, progress); !inflated)
        return std::unexpected(inflated.error());

    // An ordinary database from here on: its real length, and no longer marked compressed.
    char *header = out.data();
    qToLittleEndian<quint32>(static_cast<quint32>(out.size()), header + TotalLengthAt);
    qToLittleEndian<quint32>(1, header + CompressionWordAt);
    if (length >= CompressedFlagAt + 2)
        qToLittleEndian<quint16>(0, header + CompressedFlagAt);
    return out;
}

} // namespace corvanel::itunesdb
