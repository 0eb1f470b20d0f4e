#pragma once
// Hand-made iTunesDB records for cases no writer produces, and the sample library both test files read.
#include <IpodBuilder.h>
#include <LoadReport.h>
#include <MusicLibrary.h>
#include <iTunesDBReader.h>

#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <utility>

using namespace corvanel;
using namespace corvanel::itunesdb;
using namespace corvanel::library;

namespace testdb {

inline void put32(QByteArray &bytes, qsizetype at, int32_t value)
{
    qToLittleEndian<int32_t>(value, bytes.data() + at);
}

inline int32_t get32(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<int32_t>(bytes.constData() + at);
}

// A record of `headerLength` zero bytes (more when a field lies beyond) with its tag, header length and fields.
inline QByteArray record(const char *tag, int32_t headerLength,
                         std::initializer_list<std::pair<int, int32_t>> fields = {})
{
    qsizetype size = headerLength;
    for (const auto &field : fields)
        size = std::max<qsizetype>(size, field.first + 4);
    QByteArray bytes(size, '\0');
    std::memcpy(bytes.data(), tag, 4);
    put32(bytes, 4, headerLength);
    for (const auto &[at, value] : fields)
        put32(bytes, at, value);
    return bytes;
}

// A string data object: 24-byte header, then position, byte length, encoding, and UTF-16LE.
inline QByteArray stringObject(int32_t type, const QString &text)
{
    QByteArray bytes = record("mhod", 40, {{12, type}, {24, 1}, {28, int32_t(text.size() * 2)}, {32, 1}});
    for (const QChar c : text) {
        bytes += char(c.unicode() & 0xff);
        bytes += char(c.unicode() >> 8);
    }
    put32(bytes, 8, int32_t(bytes.size()));
    return bytes;
}

inline QByteArray database()
{
    return record("mhbd", 0x68, {{8, 0}});
}
inline QByteArray dataSet(int32_t type)
{
    return record("mhsd", 0x60, {{8, 0x60}, {12, type}});
}
inline QByteArray track(int32_t id, int32_t lengthMs = 1000, int32_t number = 1)
{
    return record("mhit", 0x9C, {{16, id}, {40, lengthMs}, {44, number}});
}
inline QByteArray playlist()
{
    return record("mhyp", 0x6C);
}
inline QByteArray item(int32_t id)
{
    return record("mhip", 0x4C, {{24, id}});
}

// Three songs: every string (empty artist and genre, a comment to step over), a podcast with feed addresses
// and no album or genre object, and one with no string objects at all; a master, a plain, a smart and a
// podcast playlist.
inline mkipod::Database sampleDatabase(mkipod::Layout layout)
{
    mkipod::Database db;
    db.layout = layout;
    mkipod::Track a;
    a.id = 101;
    a.title = QStringLiteral("First \"quoted\" song");
    a.artist = QStringLiteral("");
    a.album = QStringLiteral("Album A");
    a.genre = QStringLiteral("");
    a.location = QStringLiteral(":iPod_Control:Music:F00:AAAA.mp3");
    a.fileType = QStringLiteral("MPEG audio file");
    a.comment = QStringLiteral("a comment the reader steps over");
    a.trackNumber = 3;
    a.lengthMs = 245000;
    a.sizeBytes = 1111;
    mkipod::Track b;
    b.id = 202;
    b.title = QString::fromUtf8("\u6f22\u5b57 \U0001F3B5 caf\u00e9"); // CJK, a surrogate pair, Latin-1
    b.artist = QStringLiteral("Artist B");
    b.location = QStringLiteral(":iPod_Control:Music:F01:BBBB.m4a");
    b.fileType = QStringLiteral("AAC audio file");
    b.podcast = true;
    b.podcastUrl = QStringLiteral("http://example.invalid/feed/episode.mp3");
    b.podcastRss = QStringLiteral("http://example.invalid/feed.rss");
    b.trackNumber = 1;
    b.lengthMs = 1000;
    mkipod::Track c;
    c.id = -5;
    c.lengthMs = 7;
    db.tracks = {a, b, c};
    db.playlists = {{QStringLiteral("Pod"), {101, 202, -5}, true},
                    {QStringLiteral("Mix"), {202, 101}},
                    {QStringLiteral("Smart"), {101}, false, false, true},
                    {QStringLiteral("Casts"), {202}, false, true}};
    return db;
}

struct Walked
{
    MusicLibrary library;
    LoadReport report;
};

// The reader's walk over the bytes alone, with no drive to measure song files on.
inline std::unique_ptr<Walked> walk(QByteArrayView bytes)
{
    auto result = std::make_unique<Walked>();
    walkITunesDb(bytes, result->library, nullptr, result->report);
    return result;
}

} // namespace testdb
