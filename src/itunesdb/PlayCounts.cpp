#include "PlayCounts.h"
#include "ByteReader.h"
#include "FileImage.h"

#include <NativePath.h>

#include <QFileInfo>
#include <algorithm>
#include <functional>
#include <limits>

namespace corvanel::itunesdb {

namespace {

constexpr qsizetype HeaderLengthAt = 4;
constexpr qsizetype EntrySizeAt = 8;
constexpr qsizetype EntryCountAt = 12;
constexpr qsizetype SmallestHeader = 16;

// Entry fields, with the entry size that first holds each.
constexpr qsizetype PlaysAt = 0;
constexpr qsizetype LastPlayedAt = 4;
constexpr qsizetype RatingAt = 12;
constexpr qsizetype SkipsAt = 20;
constexpr qsizetype LastSkippedAt = 24;
constexpr qsizetype SmallestEntry = 12;
constexpr qsizetype EntryWithRating = 16;
constexpr qsizetype EntryWithSkips = 28;

constexpr int32_t MostRating = 100;

int32_t countAt(const ByteReader &in, qsizetype at)
{
    return static_cast<int32_t>(std::min<uint32_t>(in.uint32At(at), std::numeric_limits<int32_t>::max()));
}

int32_t saturatingAdd(int32_t a, int32_t b)
{
    const int64_t sum = static_cast<int64_t>(a) + b;
    return static_cast<int32_t>(
        std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

PlayCountEntry entryAt(const ByteReader &in, qsizetype at, qsizetype size)
{
    PlayCountEntry entry;
    entry.plays = countAt(in, at + PlaysAt);
    entry.lastPlayed = unixFromMacTime(in.uint32At(at + LastPlayedAt));
    if (size >= EntryWithRating)
        entry.rating = std::clamp(in.int32At(at + RatingAt), 0, MostRating);
    if (size >= EntryWithSkips) {
        entry.skips = countAt(in, at + SkipsAt);
        entry.lastSkipped = unixFromMacTime(in.uint32At(at + LastSkippedAt));
    }
    return entry;
}

uint32_t uint24At(const ByteReader &in, qsizetype at)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(in.data() + at);
    return bytes[0] | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16;
}

// One entry of a shuffle's statistics at `at`, whose `length` lies inside the file.
PlayCountEntry shuffleEntryAt(const ByteReader &in, qsizetype at, bool chunked)
{
    PlayCountEntry entry;
    if (chunked) {
        entry.plays = countAt(in, at + 8);
        entry.lastPlayed = unixFromMacTime(in.uint32At(at + 12));
        entry.skips = countAt(in, at + 16);
        entry.lastSkipped = unixFromMacTime(in.uint32At(at + 20));
    } else {
        entry.plays = static_cast<int32_t>(uint24At(in, at + 12));
        entry.skips = static_cast<int32_t>(uint24At(in, at + 15));
    }
    return entry;
}

} // namespace

PlayCountsRead readShuffleStats(QByteArrayView bytes, bool chunked)
{
    PlayCountsRead read;
    const ByteReader in(bytes);
    const qsizetype first = chunked ? 8 : 6;
    const qsizetype smallest = chunked ? 32 : 18;
    if (!in.fits(0, first)) {
        read.damage = QStringLiteral("not an iTunesStats file");
        return read;
    }
    read.announced = chunked ? in.uint32At(0) : uint24At(in, 0);
    qsizetype at = first;
    for (int64_t i = 0; i < read.announced; ++i) {
        const qsizetype length = in.fits(at, 4) ? (chunked ? in.uint32At(at) : uint24At(in, at)) : 0;
        if (length < smallest || !in.fits(at, length)) {
            read.damage = QStringLiteral("entry %1 of %2 is cut short or damaged").arg(i).arg(read.announced);
            break;
        }
        read.entries.push_back(shuffleEntryAt(in, at, chunked));
        at += length;
    }
    return read;
}

PlayCountsRead readPlayCounts(QByteArrayView bytes)
{
    PlayCountsRead read;
    const ByteReader in(bytes);
    if (!in.fits(0, SmallestHeader) || bytes.first(4) != QByteArrayView("mhdp")) {
        read.damage = QStringLiteral("not a Play Counts file");
        return read;
    }
    const int32_t header = in.int32At(HeaderLengthAt);
    const int32_t size = in.int32At(EntrySizeAt);
    read.announced = in.uint32At(EntryCountAt);
    if (header < SmallestHeader || !in.fits(0, header)) {
        read.damage = QStringLiteral("header length %1 does not fit the file").arg(header);
        return read;
    }
    if (size < SmallestEntry) {
        read.damage = QStringLiteral("entry size %1 is below %2 bytes").arg(size).arg(SmallestEntry);
        return read;
    }
    const qsizetype inFile = (in.size() - header) / size;
    const auto count = static_cast<qsizetype>(std::min<int64_t>(read.announced, inFile));
    read.entries.reserve(static_cast<std::size_t>(count));
    for (qsizetype i = 0; i < count; ++i)
        read.entries.push_back(entryAt(in, header + i * size, size));
    if (count < read.announced)
        read.damage = QStringLiteral("%1 entries announced, %2 in the file").arg(read.announced).arg(count);
    return read;
}

void mergePlayCounts(const std::vector<PlayCountEntry> &entries, MusicLibrary &library, int32_t first)
{
    first = std::max(first, 0);
    const auto songs = static_cast<std::size_t>(std::max(library.SongCount - first, 0));
    const std::size_t count = std::min(entries.size(), songs);
    for (std::size_t i = 0; i < count; ++i) {
        const PlayCountEntry &entry = entries[i];
        Song &song = library.Songs[static_cast<std::size_t>(first) + i];
        song.PlayCount = saturatingAdd(song.PlayCount, entry.plays);
        song.SkipCount = saturatingAdd(song.SkipCount, entry.skips);
        song.RecentPlays = entry.plays;
        if (entry.lastPlayed)
            song.LastPlayed = entry.lastPlayed;
        if (entry.lastSkipped)
            song.LastSkipped = entry.lastSkipped;
        if (entry.rating.value_or(0) > 0)
            song.Rating = *entry.rating;
    }
}

namespace {

// Reads and merges one of the iPod's statistics files; `read` turns its bytes into entries.
void loadStatistics(const QString &databaseFolder, const char16_t *name, MusicLibrary &library, int32_t first,
                    LoadReport &report, const std::function<PlayCountsRead(QByteArrayView)> &read)
{
    const QString path = NativePathResolver(databaseFolder).resolve(QLatin1Char('\\') + QString::fromUtf16(name));
    const QFileInfo info(path);
    // An empty file is what a disk check leaves behind: nothing to read, nothing wrong.
    if (!info.isFile() || info.size() == 0)
        return;
    const std::optional<FileImage> image = FileImage::read(path);
    if (!image) {
        report.add(LoadProblem::Kind::PlayCountsDamaged, path + QStringLiteral(": cannot be read"));
        return;
    }
    const PlayCountsRead counts = read(image->bytes());
    if (!counts.damage.isEmpty())
        report.add(LoadProblem::Kind::PlayCountsDamaged, path + QStringLiteral(": ") + counts.damage);
    const int64_t songs = std::max(library.SongCount - std::max(first, 0), 0);
    if (counts.damage.isEmpty() && counts.announced != songs)
        report.add(LoadProblem::Kind::PlayCountsMismatch,
                   QStringLiteral("%1: %2 entries for %3 songs").arg(path).arg(counts.announced).arg(songs));
    mergePlayCounts(counts.entries, library, first);
}

} // namespace

void LoadPlayCounts(const QString &databaseFolder, MusicLibrary &library, int32_t first, LoadReport &report)
{
    loadStatistics(databaseFolder, PlayCountsName, library, first, report, readPlayCounts);
}

void LoadShuffleStats(const QString &databaseFolder, bool chunked, MusicLibrary &library, int32_t first,
                      LoadReport &report)
{
    loadStatistics(databaseFolder, ShuffleStatsName, library, first, report,
                   [chunked](QByteArrayView bytes) { return readShuffleStats(bytes, chunked); });
}

} // namespace corvanel::itunesdb
