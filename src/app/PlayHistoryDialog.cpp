#include "PlayHistoryDialog.h"

#include "Dialogs.h"
#include "NativePath.h"
#include "PlayHistoryExport.h"
#include "WaitCursor.h"

namespace corvanel::app {

using namespace corvanel::history;
using corvanel::platform::dialogs;

namespace {

QString nothingNewText(const PendingExport &pending)
{
    if (pending.alreadyExported > 0)
        return QStringLiteral("There are no new plays to export: the %1 plays recorded since the iPod's last sync "
                              "were exported before.")
            .arg(pending.alreadyExported);
    if (pending.undated > 0)
        return QStringLiteral("The iPod recorded %1 plays since its last sync, but without the time of any of them, "
                              "so they cannot be exported.")
            .arg(pending.undated);
    return QStringLiteral("The iPod has recorded no plays since its last sync.");
}

QString doneText(const PendingExport &pending, const QString &path)
{
    QString text = QStringLiteral("%1 plays were exported to %2.").arg(pending.listens.size()).arg(path);
    if (pending.alreadyExported > 0)
        text += QStringLiteral("\n%1 plays exported before were left out.").arg(pending.alreadyExported);
    if (pending.undated > 0)
        text += QStringLiteral("\n%1 plays without a time were left out.").arg(pending.undated);
    if (!pending.ledger)
        text += QStringLiteral("\nThis iPod has no serial number to keep a record under: the next export will "
                               "include these plays again.");
    return text;
}

} // namespace

void exportPlayHistory(const corvanel::library::MusicLibrary &library, const QString &ledgerFolder,
                       const QString &startFolder)
{
    const QString title = QString::fromUtf16(ExportPlaysTitle);
    ExportOptions options;
    options.clientVersion = QStringLiteral(CORVANEL_VERSION_TEXT);
    options.ledgerFolder = ledgerFolder;
    options.ledgerKey = PlayLedger::keyFor(
        library.iPodDrive,
        NativePathResolver(library.iPodDrive).resolve(QStringLiteral("\\iPod_Control\\iTunes\\iTunesDB")));
    const PendingExport pending = pendingExport(library, options);
    if (!pending.error.isEmpty()) {
        dialogs().critical(title, pending.error);
        return;
    }
    if (pending.listens.empty()) {
        dialogs().inform(title, nothingNewText(pending));
        return;
    }
    const QString name = library.iPodName.isEmpty() ? QStringLiteral("iPod") : library.iPodName;
    const std::optional<QString> path =
        dialogs().chooseSaveFile(title, startFolder + QLatin1Char('/') + name + QStringLiteral(" plays.log"),
                                 QString::fromUtf16(ExportPlaysFilters));
    if (!path)
        return;
    options.format = listenFormatForFile(*path);
    QString error;
    bool done = false;
    {
        const WaitCursor wait;
        done = completeExport(
            pending, options, [&](const QByteArray &bytes) { return writeFileWhole(*path, bytes, &error); }, &error);
    }
    if (done)
        dialogs().inform(title, doneText(pending, *path));
    else
        dialogs().critical(title, error);
}

} // namespace corvanel::app
