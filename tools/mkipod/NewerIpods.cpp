// The files of the iPods that came after the plain iTunesDB: the compressed database of the
// nano 5G on, the shuffle's own song list, the model files SysInfo and SysInfoExtended.
#include "BuilderSupport.h"
#include "ByteWriter.h"
#include "IpodBuilder.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <zlib.h>

namespace mkipod {

using namespace detail;

namespace {

uint32_t le32(const QByteArray &bytes, qsizetype at)
{
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.constData() + at);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// 1 MP3, 2 AAC, 4 WAV, as the shuffle's list codes them.
uint32_t shuffleFileType(const Track &track)
{
    const QString type = track.fileType.value_or(QString());
    if (type.startsWith(QLatin1String("AAC")))
        return 2;
    if (type.startsWith(QLatin1String("WAV")))
        return 4;
    return 1;
}

// ":iPod_Control:Music:F00:ABCD.mp3" as the shuffle stores it: "/iPod_Control/Music/F00/ABCD.mp3".
QString shufflePath(const Track &track)
{
    QString path = track.location.value_or(QString());
    path.replace(QLatin1Char(':'), QLatin1Char('/'));
    return path;
}

void append24be(ByteWriter &w, uint32_t v)
{
    w.append8(uint8_t(v >> 16));
    w.append8(uint8_t(v >> 8));
    w.append8(uint8_t(v));
}

QByteArray fixedShuffleList(const Database &db)
{
    ByteWriter w;
    append24be(w, uint32_t(db.tracks.size()));
    append24be(w, 0x010600);
    append24be(w, 18);
    w.appendZeros(9);
    for (const Track &track : db.tracks) {
        const qsizetype at = w.size();
        append24be(w, 558);
        append24be(w, 0x5AA501);
        w.appendZeros(21); // start and stop times, volume
        append24be(w, shuffleFileType(track));
        append24be(w, 0x000200);
        QString path = shufflePath(track).left(260);
        w.appendUtf16Le(path);
        w.appendZeros(at + 555 - w.size());
        w.append8(1); // played when shuffling
        w.append8(0); // no bookmark
        w.append8(0);
    }
    return w.take();
}

// The playlist types of the 3G/4G list: 1 the master, 2 a normal list, 3 podcasts.
QByteArray chunkedShuffleList(const Database &db)
{
    constexpr uint32_t TrackRecord = 0x174;
    const auto tracks = uint32_t(db.tracks.size());
    QHash<int32_t, uint32_t> positionOf;
    for (uint32_t i = 0; i < tracks; ++i)
        positionOf.insert(db.tracks[i].id, i);

    ByteWriter w;
    w.appendBytes("bdhs", 4);
    w.append32(0x02000003);
    w.append32(0x40);
    w.append32(tracks);
    w.append32(uint32_t(db.playlists.size()));
    w.appendZeros(12);
    w.append32(tracks);
    w.append32(0x40); // the track table follows the header
    w.append32(0);    // the playlist table's offset, set below
    w.appendZeros(0x40 - w.size());

    const qsizetype trackTable = w.size();
    w.appendBytes("hths", 4);
    w.append32(20 + 4 * tracks);
    w.append32(tracks);
    w.appendZeros(8);
    for (uint32_t i = 0; i < tracks; ++i)
        w.append32(uint32_t(trackTable + 20 + 4 * tracks + i * TrackRecord));
    for (const Track &track : db.tracks) {
        const qsizetype at = w.size();
        w.appendBytes("rths", 4);
        w.append32(TrackRecord);
        w.appendZeros(12);
        w.append32(shuffleFileType(track));
        w.appendBytes(shufflePath(track).toUtf8().left(255));
        w.appendZeros(at + TrackRecord - w.size());
        w.set16(at + 0x13C, uint16_t(track.trackNumber));
    }

    const qsizetype playlistTable = w.size();
    w.set32(0x28, uint32_t(playlistTable));
    const auto lists = uint32_t(db.playlists.size());
    w.appendBytes("hphs", 4);
    w.append32(20 + 4 * lists);
    w.append32(lists);
    w.append16(0xFFFF);
    w.append16(1);
    w.append16(0xFFFF);
    w.append16(0);
    const qsizetype offsets = w.size();
    w.appendZeros(4 * lists);
    for (uint32_t p = 0; p < lists; ++p) {
        const Playlist &playlist = db.playlists[p];
        w.set32(offsets + 4 * p, uint32_t(w.size()));
        w.appendBytes("lphs", 4);
        w.append32(uint32_t(44 + 4 * playlist.trackIds.size()));
        w.append32(uint32_t(playlist.trackIds.size()));
        w.append32(uint32_t(playlist.trackIds.size()));
        w.appendZeros(8);
        w.append32(playlist.master ? 1 : playlist.podcastFlag ? 3 : 2);
        w.appendZeros(16);
        for (const int32_t id : playlist.trackIds)
            w.append32(positionOf.value(id));
    }
    return w.take();
}

QString plistEntry(const QString &key, const QString &type, const QString &value)
{
    return QStringLiteral("\t<key>%1</key>\n\t<%2>%3</%2>\n").arg(key, type, value.toHtmlEscaped());
}

} // namespace

QByteArray buildITunesSd(const Database &db, ShuffleLayout layout)
{
    try {
        return layout == ShuffleLayout::Fixed ? fixedShuffleList(db) : chunkedShuffleList(db);
    } catch (...) {
        return {};
    }
}

QByteArray compressITunesDb(const QByteArray &iTunesDb, int level)
{
    if (iTunesDb.size() < 16 || !iTunesDb.startsWith("mhbd"))
        return {};
    const uint32_t header = le32(iTunesDb, 4);
    if (header < 16 || header > uint32_t(iTunesDb.size()))
        return {};
    const QByteArray body = iTunesDb.mid(header);
    uLongf compressedLength = compressBound(uLong(body.size()));
    QByteArray out = iTunesDb.left(header);
    out.resize(header + qsizetype(compressedLength));
    if (compress2(reinterpret_cast<Bytef *>(out.data() + header), &compressedLength,
                  reinterpret_cast<const Bytef *>(body.constData()), uLong(body.size()), level) != Z_OK)
        return {};
    out.resize(header + qsizetype(compressedLength));
    ByteWriter w;
    w.appendBytes(out);
    w.set32(8, uint32_t(out.size())); // the total length now counts the compressed bytes
    w.set32(12, 2);
    if (header >= 0xAA)
        w.set16(0xA8, 1);
    return w.take();
}

QByteArray buildSysInfoExtended(const QString &serial, const QString &fireWireGuid, int familyId, int dbVersion)
{
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                  "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                  "<plist version=\"1.0\">\n<dict>\n");
    text += plistEntry(QStringLiteral("FireWireGUID"), QStringLiteral("string"), fireWireGuid);
    text += plistEntry(QStringLiteral("SerialNumber"), QStringLiteral("string"), serial);
    if (familyId >= 0)
        text += plistEntry(QStringLiteral("FamilyID"), QStringLiteral("integer"), QString::number(familyId));
    if (dbVersion >= 0)
        text += plistEntry(QStringLiteral("DBVersion"), QStringLiteral("integer"), QString::number(dbVersion));
    text += QStringLiteral("</dict>\n</plist>\n");
    return text.toUtf8();
}

bool writeModel(const QString &root, const QString &modelNumber, QString *error)
{
    if (modelNumber.isEmpty() || modelNumber.size() > 16)
        return fail(error, QStringLiteral("A model number such as MC293 is needed"));
    const QString device = QDir(root).filePath(QStringLiteral("iPod_Control/Device"));
    if (!QDir().mkpath(device))
        return fail(error, QStringLiteral("Cannot create the folder %1").arg(device));
    const QString serial = QStringLiteral("CV1000000AA");
    return writeFile(device + QStringLiteral("/SysInfo"), buildSysInfo(modelNumber, serial), error) &&
           writeFile(device + QStringLiteral("/SysInfoExtended"),
                     buildSysInfoExtended(serial, QStringLiteral("000A27001B5C3E71")), error);
}

bool convertDatabase(const QString &root, DatabaseForm form, const Database &db, QString *error)
{
    const QString itunes = QDir(root).filePath(QStringLiteral("iPod_Control/iTunes"));
    const QString database = itunes + QStringLiteral("/iTunesDB");
    if (form == DatabaseForm::Compressed) {
        // As the iPods that keep a compressed database are left: the iTunesDB beside it is empty.
        QFile plain(database);
        const QByteArray compressed =
            plain.open(QIODevice::ReadOnly) ? compressITunesDb(plain.readAll()) : QByteArray();
        if (compressed.isEmpty())
            return fail(error, QStringLiteral("Cannot compress the database %1").arg(database));
        return writeFile(itunes + QStringLiteral("/iTunesCDB"), compressed, error) &&
               writeFile(database, QByteArray(), error);
    }
    const QByteArray list =
        buildITunesSd(db, form == DatabaseForm::ShuffleFixed ? ShuffleLayout::Fixed : ShuffleLayout::Chunked);
    if (list.isEmpty() || !writeFile(itunes + QStringLiteral("/iTunesSD"), list, error))
        return list.isEmpty() ? fail(error, QStringLiteral("Cannot build the song list")) : false;
    // A shuffle keeps its plays in iTunesStats, in the song list's order.
    if (db.playCounts &&
        !writeFile(itunes + QStringLiteral("/iTunesStats"),
                   buildShuffleStats(*db.playCounts, form == DatabaseForm::ShuffleFixed ? ShuffleLayout::Fixed
                                                                                        : ShuffleLayout::Chunked),
                   error))
        return false;
    for (const QString &gone :
         {database, itunes + QStringLiteral("/OTGPlaylistInfo"), itunes + QStringLiteral("/Play Counts")})
        if (QFile::exists(gone) && !QFile::remove(gone))
            return fail(error, QStringLiteral("Cannot remove %1").arg(gone));
    return true;
}

} // namespace mkipod
