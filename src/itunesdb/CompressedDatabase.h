#pragma once
// The compressed database of the later iPods (nano 5G on), iPod_Control/iTunes/iTunesCDB: the
// "mhbd" header as it stands (the word at offset 12 is 2 there, 1 in a plain file), then one
// zlib stream that inflates to the header's children, the data sets of an ordinary iTunesDB.
#include "ByteReader.h"
#include "FileImage.h"
#include "iTunesDBReader.h"

#include <QByteArrayView>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <expected>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace corvanel::itunesdb {

// The most an inflated database may take. Beyond a floor that any real database stays under,
// it may also be at most so many times its compressed size: iTunes' databases shrink about
// five to ten times, while a crafted stream can grow a thousandfold.
inline constexpr qint64 MaxInflatedDatabase = qint64(512) << 20;
inline constexpr qint64 InflationFloor = qint64(32) << 20;
inline constexpr qint64 MaxInflationRatio = 200;

struct InflateError
{
    enum class Kind {
        Truncated, // the stream ends before its end mark
        Corrupt,   // the stream is not valid deflate data, or its checksum is wrong
        TooLarge,  // it inflates past the limits above
        NoMemory,
    } kind;
    qint64 offset = 0; // of the compressed byte reached, in the file
    QString message;   // one sentence, for the user
};

// True for an "mhbd" header whose children are not records but a zlib stream, as in an
// iTunesCDB. The header's words are only hints (iTunes also marks plain files of these
// iPods with 2): what follows the header decides.
bool isCompressedDatabase(QByteArrayView file);

// The ordinary database a compressed one holds: its header, with the total length set to the
// real one and the compression marks cleared, followed by the inflated records. No length in
// the file is trusted: the stream is inflated until it ends, within `limit` and the ratio above.
std::expected<FileImage, InflateError> inflateDatabase(QByteArrayView file, qint64 limit = MaxInflatedDatabase);

class Inflater;

// The same ordinary database, inflated on a thread of its own while its first records are
// already read: a reader of its bytes waits for those that have not come yet. When the
// stream turns out to be damaged, the reader is told that no more bytes will come, and
// finish() says why: what was read from it is then not to be kept.
class InflatingDatabase final : public ByteSource
{
public:
    // `file` must stay as it is until finish() has returned.
    static std::expected<std::unique_ptr<InflatingDatabase>, InflateError> start(QByteArrayView file,
                                                                                 qint64 limit = MaxInflatedDatabase);
    // Stops the inflating when it is still running.
    ~InflatingDatabase();
    InflatingDatabase(const InflatingDatabase &) = delete;
    InflatingDatabase &operator=(const InflatingDatabase &) = delete;

    const char *data() const override;
    qsizetype waitFor(qsizetype end) override;
    // The compressed bytes inflated so far, of all: the progress of a reader that keeps up.
    qint64 compressedRead() const { return m_read.load(std::memory_order_relaxed); }
    qint64 compressedSize() const { return m_compressedSize; }
    // Once the reader is done: waits for the end of the stream, and gives the whole database
    // as inflateDatabase() does, or why there is none.
    std::expected<FileImage, InflateError> finish();

private:
    explicit InflatingDatabase(qint64 compressedSize);
    void inflate(qint64 cap);

    qint64 m_compressedSize;
    std::optional<FileImage> m_image;
    char *m_room = nullptr; // the image's first byte, where it stays
    std::unique_ptr<Inflater> m_inflater;
    qsizetype m_headerLength = 0;
    std::atomic<qsizetype> m_ready{0};
    std::atomic<qint64> m_read{0};
    std::atomic<bool> m_abandoned{false};
    std::mutex m_mutex;
    std::condition_variable m_arrival;
    std::optional<std::expected<qint64, InflateError>> m_outcome; // under m_mutex until the thread ends
    std::thread m_thread;
};

} // namespace corvanel::itunesdb
