#pragma once
// Exporting an iPod's plays since its last sync: the listens the ledger has not seen, written
// out whole, and only then marked in the ledger.
#include "Listens.h"
#include "PlayLedger.h"

#include <functional>

namespace corvanel::history {

struct ExportOptions
{
    ListenFormat format = ListenFormat::ScrobblerLog;
    bool all = false; // every listen, whatever the ledger holds
    QString clientVersion;
    QString ledgerFolder = PlayLedger::defaultFolder();
    QString ledgerKey; // empty: the iPod has no name to keep a ledger under
};

struct PendingExport
{
    std::vector<Listen> listens; // to be written, oldest first
    int alreadyExported = 0;     // listens the ledger holds, left out
    int undated = 0;             // plays without a time, left out
    bool ledger = false;         // the export is recorded once written
    QString error;               // the ledger could not be read: nothing is to be written
};

// What an export would write now.
PendingExport pendingExport(const MusicLibrary &library, const ExportOptions &options);

// Hands the listens, formatted, to `write`; when it reports them all written, records them in
// the ledger. An export that fails or stops part-way marks nothing. False with a sentence in
// `error` on failure.
bool completeExport(const PendingExport &pending, const ExportOptions &options,
                    const std::function<bool(const QByteArray &bytes)> &write, QString *error);

// `write` for a file: a temporary file beside it replaces it once complete.
bool writeFileWhole(const QString &path, const QByteArray &bytes, QString *error);

} // namespace corvanel::history
