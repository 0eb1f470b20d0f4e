#pragma once
// The M3U playlist handed to the external player: one line per song-list row, the row's file
// as a full native name (the mount folder, then the stored path with "/" separators), each
// line ended by CR LF, in UTF-8. No header and no "#" lines.
#include <QString>
#include <QStringList>
#include <expected>

namespace corvanel::app {

class SongTableModel;

// The file's bytes for these stored paths.
QByteArray m3uText(const QString &iPodDrive, const QStringList &storedPaths);

// Writes every row of the list, first to last, into a new file in the temporary folder,
// created at once under an unguessable name ending in ".m3u". Returns its path; the file is
// left for the player. The error is a sentence for the user.
std::expected<QString, QString> writeM3u(const QString &iPodDrive, const SongTableModel &rows);
std::expected<QString, QString> writeM3u(const QString &iPodDrive, const QStringList &storedPaths);

} // namespace corvanel::app
