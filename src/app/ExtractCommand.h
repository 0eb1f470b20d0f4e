#pragma once
// corvanel --extract DEST [--format TEMPLATE] [--from-tags] [--no-covers] [PATH]: every song of an iPod's library into
// a folder, without a window, for machines without a desktop and for scripts.
#include <QString>
#include <QStringList>

#include <optional>

namespace corvanel::library {
class MusicLibrary;
}
namespace corvanel::itunesdb {
struct LoadReport;
}

namespace corvanel::app {

using namespace corvanel::itunesdb;
using namespace corvanel::library;

// Reads the library of PATH (an iPod folder or an iTunesDB file) into `library`: from the
// database, or with `fromTags` from the songs' own tags. The error is a sentence for the user.
std::optional<QString> loadLibraryAt(const QString &path, MusicLibrary &library, LoadReport &report,
                                     bool fromTags = false);

// The words of the command line without "--from-tags"; `fromTags` tells whether it was there.
QStringList takeFromTags(QStringList words, bool &fromTags);

// Runs the command for the words after the program's name (starting with "--extract").
// Returns the exit status: 0 done, 1 the extraction failed, 2 the command line or the
// library was unusable.
int extractCommand(const QStringList &words);

} // namespace corvanel::app
