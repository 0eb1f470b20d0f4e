#include "PlayHistoryExport.h"

#include <QSaveFile>

namespace corvanel::history {

PendingExport pendingExport(const MusicLibrary &library, const ExportOptions &options)
{
    PendingExport pending;
    SongListens since = listensSinceSync(library);
    pending.undated = since.undated;
    pending.ledger = !options.ledgerKey.isEmpty();
    if (!pending.ledger || options.all) {
        pending.listens = std::move(since.listens);
        return pending;
    }
    PlayLedger ledger(options.ledgerFolder, options.ledgerKey);
    if (!ledger.load()) {
        pending.error = QStringLiteral("The record of earlier exports (%1) cannot be read.").arg(ledger.path());
        return pending;
    }
    pending.listens = ledger.unexported(since.listens);
    pending.alreadyExported = static_cast<int>(since.listens.size() - pending.listens.size());
    return pending;
}

bool completeExport(const PendingExport &pending, const ExportOptions &options,
                    const std::function<bool(const QByteArray &bytes)> &write, QString *error)
{
    if (!pending.error.isEmpty()) {
        if (error)
            *error = pending.error;
        return false;
    }
    if (!write(formatListens(pending.listens, options.format, options.clientVersion))) {
        if (error && error->isEmpty())
            *error = QStringLiteral("The plays could not be written.");
        return false;
    }
    if (!pending.ledger)
        return true;
    PlayLedger ledger(options.ledgerFolder, options.ledgerKey);
    QString why;
    if (!ledger.load() || !ledger.record(pending.listens, &why)) {
        if (error)
            *error = QStringLiteral("The plays were written, but the record of this export (%1) could not be "
                                    "saved: %2")
                         .arg(ledger.path(), why);
        return false;
    }
    return true;
}

bool writeFileWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = QStringLiteral("%1 could not be written: %2").arg(path, file.errorString());
    return false;
}

} // namespace corvanel::history
