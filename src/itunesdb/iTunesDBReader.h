#pragma once
#include "LoadReport.h"

#include <MusicLibrary.h>
#include <NativePath.h>

#include <QByteArrayView>
#include <atomic>
#include <functional>
#include <vector>

namespace corvanel::itunesdb {

using namespace corvanel::library;

// Called now and then during long steps with the work done so far and the whole.
using LoadProgress = std::function<void(qint64 done, qint64 total)>;

// Walks the bytes of an iTunesDB into `library`: songs in file order, then the playlists,
// the first (the master) decorated as ":: name ::" with its plain name in iPodName.
// Only the track (type 1) and playlist (type 2) data sets are walked; every other data set
// is stepped over whole. No length in the file is trusted: a record that is too short,
// or runs past the end, is slid over byte by byte like an unknown tag and counted.
// When `sizes` is given, each song's file is measured afterwards (FileSize).
void walkITunesDb(QByteArrayView bytes, MusicLibrary &library, NativePathResolver *sizes, LoadReport &report,
                  const LoadProgress &progress = {});

class ByteSource;

// The same walk over bytes that are still coming, such as a database being inflated: it reads
// what has come and waits for the rest. `expectedSize` (a guess) only sizes the walk's caches.
// The songs' files are not measured: what was walked may yet be given back, if the rest never
// comes.
void walkITunesDb(ByteSource &bytes, qsizetype expectedSize, MusicLibrary &library, LoadReport &report,
                  const LoadProgress &progress = {});

// Measures the files of songs [first, SongCount) that have a location; a missing file
// leaves FileSize 0 and is counted as SongFileUnreadable.
void measureFileSizes(MusicLibrary &library, int32_t first, NativePathResolver &sizes, LoadReport &report,
                      const LoadProgress &progress = {});

// The sizes of the files at `paths` (stored song locations) on the iPod at iPodDrive, in order:
// 0 for an empty path, and for a file that cannot be measured, which is also counted as
// SongFileUnreadable. It reads no library, so it may run while the library is in use; when
// `cancel` is set it stops, leaving the rest at 0.
std::vector<double> measureSongFiles(const QString &iPodDrive, const std::vector<QString> &paths, LoadReport &report,
                                     const std::atomic<bool> *cancel = nullptr);

// A string object's text: UTF-16LE (surrogate pairs kept) without NUL characters.
QString decodeITunesString(const char *data, qsizetype bytes);

} // namespace corvanel::itunesdb
