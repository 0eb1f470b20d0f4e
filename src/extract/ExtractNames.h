#pragma once
// The names extracted songs get: the file-name template and the extension.
#include <QString>

namespace corvanel::extract {

// The template the extraction window starts with.
inline const QString kDefaultFormat = QStringLiteral("[genre]\\[artist]\\[album]\\[track number] - [title]");

// The relative file name, without extension, that the template gives a song; folders are
// separated by "/". Empty fields get their defaults ("Unknown Genre", "Unknown Artist",
// "Unknown Album", "00"), written back into the caller's variables. Both "\" and "/" in the
// template separate folders; in the song's fields they are removed, like the characters no
// file system of a music player takes. The fields come from a device, so a folder or file
// name that would come out empty, "." or ".." (or only dots and spaces) becomes "_", and
// control characters, bidirectional overrides and isolates and the line and paragraph
// separators are dropped: the name always stays below the destination and reads as stored.
// Each folder and file name is cut to 200 bytes, so that a long title or artist still makes a
// name that file systems take.
QString MakeFileName(const QString &Format, QString &SongTitle, QString &SongArtist, QString &SongAlbum,
                     QString &SongGenre, QString &SongTrack);

// The extension of a song's file: the text after the last "." of its name; "dat" when there
// is none.
QString GetFormat(const QString &File);

// A track number as two digits at least: 3 gives "03".
QString TwoDigits(int Number);

} // namespace corvanel::extract
