#include "CompressedDatabase.h"
#include "ByteReader.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <functional>
#include <isa-l/igzip_lib.h>
#include <memory>
#include <new>
#include <optional>
#include <system_error>

namespace corvanel::itunesdb {

namespace {

constexpr qsizetype HeaderLengthAt = 4;
constexpr qsizetype TotalLengthAt = 8;
constexpr qsizetype CompressionWordAt = 12;  // 2 in a compressed file, 1 in a plain one
constexpr qsizetype CompressedFlagAt = 0xA8; // 16 bits: 1 while the records are compressed
constexpr qsizetype SmallestHeader = CompressionWordAt + 4;

constexpr qint64 InputChunk = qint64(1) << 20;     // compressed bytes handed over at a time
constexpr qint64 OutputWindow = qint64(256) << 10; // inflated bytes per call, checksummed while cached
constexpr qint64 CounterLimit = qint64(1) << 31;   // the inflater counts its output in 32 bits
constexpr int DeflateMethod = 8;                   // the only compression method a zlib header names

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
    return (method & 0x0F) == DeflateMethod && (method >> 4) <= 7 && ((method << 8) | flags) % 31 == 0;
}

InflateError failure(InflateError::Kind kind, qint64 offset, const QString &message)
{
    return InflateError{kind, offset, message};
}

QString noMemory()
{
    return QStringLiteral("there is not enough memory to inflate the database");
}

} // namespace

// ISA-L's inflater: about two and a half times zlib's speed on these databases. It reads the
// zlib wrapper itself and checks the Adler-32 sum at the end.
class Inflater
{
public:
    Inflater(QByteArrayView body, qsizetype bodyAt) : m_body(body), m_bodyAt(bodyAt)
    {
        isal_inflate_init(m_stream.get());
        m_stream->crc_flag = ISAL_ZLIB;
    }

    // Inflates the whole stream into the `room` bytes at `out`; the length inflated. The output
    // is handed over a window at a time, so that the checksum runs over bytes still in the cache.
    // `inflated` hears of each window's end (the length inflated so far); false from it stops.
    std::expected<qint64, InflateError> run(char *out, qint64 room,
                                            const std::function<bool(qint64 inflated)> &inflated = {})
    {
        const auto *const end = reinterpret_cast<uint8_t *>(out + room);
        m_stream->next_out = reinterpret_cast<uint8_t *>(out);
        for (;;) {
            if (m_stream->avail_in == 0 && m_fed < m_body.size())
                feed();
            if (m_stream->avail_out == 0) {
                if (m_stream->next_out == end)
                    return std::unexpected(failure(
                        InflateError::Kind::TooLarge, reached(),
                        QStringLiteral("the compressed database inflates to more than %1 MB, far more than a real one")
                            .arg(room >> 20)));
                m_stream->avail_out = static_cast<uint32_t>(std::min<qint64>(end - m_stream->next_out, OutputWindow));
            }
            const int status = isal_inflate(m_stream.get());
            if (status != ISAL_DECOMP_OK)
                return std::unexpected(corrupt(status));
            if (m_stream->block_state == ISAL_BLOCK_FINISH)
                break;
            if (inflated && !inflated(m_stream->total_out))
                return std::unexpected(
                    failure(InflateError::Kind::Truncated, reached(), QStringLiteral("the inflating was stopped")));
            if (m_stream->avail_out > 0 && m_stream->avail_in == 0 && m_fed == m_body.size())
                return std::unexpected(failure(InflateError::Kind::Truncated, m_bodyAt + m_fed,
                                               QStringLiteral("the compressed database ends before its data does")));
        }
        return static_cast<qint64>(m_stream->total_out);
    }

    // The compressed bytes inflated so far, counted from the file's start.
    qint64 reached() const { return m_bodyAt + m_fed - m_stream->avail_in; }

private:
    InflateError corrupt(int status) const
    {
        const char *why = status == ISAL_INCORRECT_CHECKSUM ? "wrong checksum"
                          : status == ISAL_NEED_DICT        ? "needs a preset dictionary"
                          : status == ISAL_INVALID_LOOKBACK ? "invalid distance"
                                                            : "invalid data";
        return failure(InflateError::Kind::Corrupt, reached(),
                       QStringLiteral("the compressed database is damaged at byte %1 (%2)")
                           .arg(reached())
                           .arg(QString::fromLatin1(why)));
    }

    void feed()
    {
        const qint64 take = std::min<qint64>(InputChunk, m_body.size() - m_fed);
        m_stream->next_in = reinterpret_cast<uint8_t *>(const_cast<char *>(m_body.data() + m_fed));
        m_stream->avail_in = static_cast<uint32_t>(take);
        m_fed += take;
    }

    QByteArrayView m_body;
    qsizetype m_bodyAt;
    qint64 m_fed = 0;
    std::unique_ptr<inflate_state> m_stream = std::make_unique<inflate_state>(); // 85 KiB: not on the stack
};

namespace {

// A compressed database made ready to inflate: room for all that the limits allow, in address
// space only (the records inflate in place, in huge pages where the system offers them, and
// what they leave over is given back), with the header in place and no longer marked
// compressed. Its total length is set once it is known.
struct Prepared
{
    FileImage image;
    std::unique_ptr<Inflater> inflater;
    qsizetype headerLength;
    qint64 cap;
};

std::expected<Prepared, InflateError> prepare(QByteArrayView file, qint64 limit)
{
    const qsizetype length = headerLength(file);
    if (length == 0 || !isCompressedDatabase(file))
        return std::unexpected(
            failure(InflateError::Kind::Corrupt, 0, QStringLiteral("the file is not a compressed iTunes database")));
    const QByteArrayView body = file.sliced(length);
    const qint64 cap =
        std::clamp(std::min(limit, std::max(InflationFloor, body.size() * MaxInflationRatio)), qint64(0), CounterLimit);
    std::optional<FileImage> out = FileImage::reserve(static_cast<std::size_t>(length + cap));
    std::unique_ptr<Inflater> inflater;
    try {
        if (out)
            inflater = std::make_unique<Inflater>(body, length);
    } catch (const std::bad_alloc &) {
    }
    if (!out || !inflater)
        return std::unexpected(failure(InflateError::Kind::NoMemory, 0, noMemory()));
    char *header = out->room();
    std::memcpy(header, file.data(), static_cast<std::size_t>(length));
    qToLittleEndian<quint32>(1, header + CompressionWordAt);
    if (length >= CompressedFlagAt + 2)
        qToLittleEndian<quint16>(0, header + CompressedFlagAt);
    return Prepared{std::move(*out), std::move(inflater), length, cap};
}

// The image of an ordinary database of `length` bytes, its header telling that length.
FileImage finished(FileImage image, qint64 length)
{
    image.finish(static_cast<std::size_t>(length));
    qToLittleEndian<quint32>(static_cast<quint32>(length), image.room() + TotalLengthAt);
    return image;
}

} // namespace

bool isCompressedDatabase(QByteArrayView file)
{
    const qsizetype length = headerLength(file);
    if (length == 0)
        return false;
    const QByteArrayView body = file.sliced(length);
    return !body.startsWith("mhsd") && startsZlibStream(body);
}

std::expected<FileImage, InflateError> inflateDatabase(QByteArrayView file, qint64 limit)
{
    std::expected<Prepared, InflateError> ready = prepare(file, limit);
    if (!ready)
        return std::unexpected(ready.error());
    const std::expected<qint64, InflateError> inflated =
        ready->inflater->run(ready->image.room() + ready->headerLength, ready->cap);
    if (!inflated)
        return std::unexpected(inflated.error());
    return finished(std::move(ready->image), ready->headerLength + *inflated);
}

std::expected<std::unique_ptr<InflatingDatabase>, InflateError> InflatingDatabase::start(QByteArrayView file,
                                                                                         qint64 limit)
{
    std::expected<Prepared, InflateError> ready = prepare(file, limit);
    if (!ready)
        return std::unexpected(ready.error());
    std::unique_ptr<InflatingDatabase> database(new InflatingDatabase(file.size()));
    database->m_image = std::move(ready->image);
    database->m_room = database->m_image->room();
    database->m_inflater = std::move(ready->inflater);
    database->m_headerLength = ready->headerLength;
    database->m_ready.store(ready->headerLength);
    try {
        database->m_thread = std::thread([self = database.get(), cap = ready->cap] { self->inflate(cap); });
    } catch (const std::system_error &) {
        return std::unexpected(failure(InflateError::Kind::NoMemory, 0, noMemory()));
    }
    return database;
}

InflatingDatabase::InflatingDatabase(qint64 compressedSize) : m_compressedSize(compressedSize) {}

InflatingDatabase::~InflatingDatabase()
{
    m_abandoned.store(true);
    if (m_thread.joinable())
        m_thread.join();
}

const char *InflatingDatabase::data() const
{
    return m_room;
}

void InflatingDatabase::inflate(qint64 cap)
{
    const auto arrived = [this](qint64 inflated) {
        m_read.store(m_inflater->reached(), std::memory_order_relaxed);
        {
            const std::lock_guard lock(m_mutex);
            m_ready.store(m_headerLength + inflated, std::memory_order_release);
        }
        m_arrival.notify_all();
        return !m_abandoned.load(std::memory_order_relaxed);
    };
    std::expected<qint64, InflateError> inflated = m_inflater->run(m_room + m_headerLength, cap, arrived);
    m_read.store(m_inflater->reached(), std::memory_order_relaxed);
    {
        const std::lock_guard lock(m_mutex);
        if (inflated)
            m_ready.store(m_headerLength + *inflated, std::memory_order_release);
        m_outcome = std::move(inflated);
    }
    m_arrival.notify_all();
}

qsizetype InflatingDatabase::waitFor(qsizetype end)
{
    const qsizetype ready = m_ready.load(std::memory_order_acquire);
    if (ready >= end)
        return ready;
    std::unique_lock lock(m_mutex);
    m_arrival.wait(lock, [&] { return m_outcome || m_ready.load(std::memory_order_relaxed) >= end; });
    if (m_outcome && !*m_outcome)
        return 0;
    return m_ready.load(std::memory_order_relaxed);
}

std::expected<FileImage, InflateError> InflatingDatabase::finish()
{
    if (m_thread.joinable())
        m_thread.join();
    if (!m_outcome)
        return std::unexpected(failure(InflateError::Kind::Truncated, 0, QStringLiteral("the inflating was stopped")));
    if (!*m_outcome)
        return std::unexpected(m_outcome->error());
    return finished(std::move(*m_image), m_headerLength + **m_outcome);
}

} // namespace corvanel::itunesdb
