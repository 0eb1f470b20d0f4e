#pragma once
// One song file's own tags and length, read through libavformat from the container's header:
// no stream is probed and nothing is decoded where the container states the length.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace corvanel::itunesdb {

// The most characters a tag value keeps.
inline constexpr qsizetype MaxTagCharacters = 1024;

struct FileTags
{
    QString title;  // empty when the file has none
    QString artist; // "No Artist" when the file has none
    QString album;
    QString genre; // "No Genre" when the file has none
    int32_t trackNumber = 0;
    int32_t lengthMs = 0;
    QString fileType; // in the database's words: "MPEG audio file", "AAC audio file", ...
    qint64 size = 0;  // of the whole file, in bytes
};

// True for the names of files a song can be in: .mp3, .m4a, .m4b, .m4p, .mp4, .aac, .wav,
// .aif, .aiff and .aifc, without regard to case. Hidden files ("._ABCD.mp3") are not songs.
bool isSongFileName(QStringView name);

// Reads a song file, named by its bytes on this system; nothing when libavformat finds no
// audio frame in it.
std::optional<FileTags> readFileTags(const QByteArray &fileName);
// The same over bytes in memory; `fileName` gives the extension that chooses the demuxer.
std::optional<FileTags> readTagsFromBytes(QByteArrayView bytes, QStringView fileName);

// A tag value as the program keeps it: UTF-8 decoded, control characters removed, trimmed,
// and cut to MaxTagCharacters (never inside a surrogate pair).
QString cleanTagText(const char *utf8);

} // namespace corvanel::itunesdb
