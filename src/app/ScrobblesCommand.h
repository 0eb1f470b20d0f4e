#pragma once
// corvanel --scrobbles [--format scrobbler-log|listenbrainz|csv] [--all] PATH: the plays an iPod
// recorded since its last sync, on standard output, for a scrobbling service.
#include <QStringList>

namespace corvanel::app {

// Runs the command for the words after the program's name (starting with "--scrobbles").
// Returns the exit status: 0 written (nothing new included), 1 the output or the record of
// the export failed, 2 the command line or the library was unusable.
int scrobblesCommand(const QStringList &words);

} // namespace corvanel::app
