#pragma once
// Extras → "Export Play History…": the plays the iPod recorded since its last sync that were not
// exported before, into a file the user chooses. Every question and answer goes through the
// dialogs service, so it runs without a window.
#include <MusicLibrary.h>

#include <QString>

namespace corvanel::app {

inline constexpr auto ExportPlaysTitle = u"Export Play History";
inline constexpr auto ExportPlaysFilters = u"Audioscrobbler log (*.log);;ListenBrainz import (*.json);;CSV (*.csv)";

// Asks where to save (offering a file in startFolder), writes the listens in the format of the
// chosen file's extension, records them in the ledger under ledgerFolder and says how it went.
// Says so, without asking, when there is nothing new to export.
void exportPlayHistory(const corvanel::library::MusicLibrary &library, const QString &ledgerFolder,
                       const QString &startFolder);

} // namespace corvanel::app
