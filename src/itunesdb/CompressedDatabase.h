#pragma once
// The compressed database of the later iPods (nano 5G on), iPod_Control/iTunes/iTunesCDB: the
// "mhbd" header as it stands (the word at offset 12 is 2 there, 1 in a plain file), then one
// zlib stream that inflates to the header's children, the data sets of an ordinary iTunesDB.
#include "FileImage.h"
#include "iTunesDBReader.h"

#include <QByteArrayView>
#include <QString>
#include <expected>

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
// `progress` hears of the compressed bytes read, of all.
std::expected<FileImage, InflateError> inflateDatabase(QByteArrayView file, const LoadProgress &progress = {},
                                                       qint64 limit = MaxInflatedDatabase);

} // namespace corvanel::itunesdb
