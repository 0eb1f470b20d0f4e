#include "ArtworkDB.h"
#include "ByteReader.h"
#include "iTunesDBReader.h"

#include <QtEndian>
#include <optional>

namespace corvanel::itunesdb {

namespace {

// The ArtworkDB is a tree of records like the iTunesDB: a 4-byte tag, the header length at
// offset 4 and, for all but the three lists, the total length (header and children) at
// offset 8. Children start right after their parent's header.
enum class DataSet : int16_t { Images = 1, Albums = 2, Files = 3 };
enum class ObjectType : int16_t { Thumbnail = 2, FileName = 3, FullResolution = 5 };

// Smallest headers that hold every field read.
constexpr qsizetype MinFileHeader = 12;      // mhfd
constexpr qsizetype MinDataSetHeader = 14;   // mhsd: type (16-bit) at 12
constexpr qsizetype MinListHeader = 12;      // mhli, mhla, mhlf: count at 8
constexpr qsizetype MinImageHeader = 28;     // mhii: id at 16, song dbid at 20
constexpr qsizetype MinObjectHeader = 14;    // mhod: type (16-bit) at 12
constexpr qsizetype MinThumbHeader = 36;     // mhni: format, offset, size, paddings, height, width
constexpr qsizetype MinFileEntryHeader = 24; // mhif: format at 16, slot size at 20
constexpr qsizetype StringHeader = 36;       // string mhod: length at 24, encoding at 28, text at 36

struct Record
{
    qsizetype at = 0;
    qsizetype header = 0;
    qsizetype end = 0; // at + total length; for a list, the end of its parent
};

class Walker
{
public:
    explicit Walker(QByteArrayView bytes) : m_in(bytes) {}

    ArtworkDb run()
    {
        const auto file = record(0, m_in.size(), "mhfd", MinFileHeader, true);
        if (!file) {
            m_db.damaged = true;
            return std::move(m_db);
        }
        forEachChild(*file, "mhsd", MinDataSetHeader, [this](const Record &set) { dataSet(set); });
        return std::move(m_db);
    }

private:
    // The record at `at` with tag `tag` whose header, and total length when `hasTotal`, lie
    // inside [at, end); nothing otherwise.
    std::optional<Record> record(qsizetype at, qsizetype end, const char (&tag)[5], qsizetype minHeader,
                                 bool hasTotal) const
    {
        if (!m_in.fits(at, 12) || end > m_in.size() || std::memcmp(m_in.data() + at, tag, 4) != 0)
            return std::nullopt;
        const qsizetype header = m_in.int32At(at + 4);
        if (header < minHeader || header > end - at)
            return std::nullopt;
        qsizetype total = end - at;
        if (hasTotal) {
            total = m_in.int32At(at + 8);
            if (total < header || total > end - at)
                return std::nullopt;
        }
        return Record{at, header, at + total};
    }

    // Calls `visit` for each record tagged `tag` from the end of the parent's header on, until
    // the parent ends; a record that does not fit marks the database damaged and ends the walk.
    template <typename Visit>
    void forEachChild(const Record &parent, const char (&tag)[5], qsizetype minHeader, Visit visit)
    {
        qsizetype at = parent.at + parent.header;
        while (at < parent.end) {
            const auto child = record(at, parent.end, tag, minHeader, true);
            if (!child || child->end <= at) {
                m_db.damaged = true;
                return;
            }
            visit(*child);
            at = child->end;
        }
    }

    int16_t int16At(qsizetype at) const { return qFromLittleEndian<int16_t>(m_in.data() + at); }

    void dataSet(const Record &set)
    {
        const auto type = static_cast<DataSet>(int16At(set.at + 12));
        const qsizetype listAt = set.at + set.header;
        if (type == DataSet::Images) {
            if (const auto list = record(listAt, set.end, "mhli", MinListHeader, false))
                forEachChild(*list, "mhii", MinImageHeader, [this](const Record &image) { this->image(image); });
            else if (listAt < set.end)
                m_db.damaged = true;
        } else if (type == DataSet::Files) {
            if (const auto list = record(listAt, set.end, "mhlf", MinListHeader, false))
                forEachChild(*list, "mhif", MinFileEntryHeader, [this](const Record &entry) { fileEntry(entry); });
            else if (listAt < set.end)
                m_db.damaged = true;
        }
        // Photo albums ("mhla") say nothing about covers: stepped over whole.
    }

    void image(const Record &record)
    {
        ArtworkImage image;
        image.id = m_in.uint32At(record.at + 16);
        image.songDbid = static_cast<uint64_t>(m_in.uint32At(record.at + 20)) |
                         static_cast<uint64_t>(m_in.uint32At(record.at + 24)) << 32;
        forEachChild(record, "mhod", MinObjectHeader, [&](const Record &object) {
            const auto type = static_cast<ObjectType>(int16At(object.at + 12));
            if (type != ObjectType::Thumbnail && type != ObjectType::FullResolution)
                return;
            if (auto thumb = this->thumb(object))
                image.thumbs.push_back(std::move(*thumb));
        });
        const qsizetype index = static_cast<qsizetype>(m_db.images.size());
        m_db.byId.insert(image.id, index);
        if (image.songDbid != 0 && !m_db.byDbid.contains(image.songDbid))
            m_db.byDbid.insert(image.songDbid, index);
        m_db.images.push_back(std::move(image));
    }

    // The "mhni" inside a thumbnail container object.
    std::optional<ArtworkThumb> thumb(const Record &container)
    {
        const auto ni = record(container.at + container.header, container.end, "mhni", MinThumbHeader, true);
        if (!ni) {
            m_db.damaged = true;
            return std::nullopt;
        }
        ArtworkThumb thumb;
        thumb.formatId = m_in.int32At(ni->at + 16);
        thumb.offset = m_in.uint32At(ni->at + 20);
        thumb.size = m_in.uint32At(ni->at + 24);
        thumb.verticalPadding = int16At(ni->at + 28);
        thumb.horizontalPadding = int16At(ni->at + 30);
        thumb.height = int16At(ni->at + 32);
        thumb.width = int16At(ni->at + 34);
        forEachChild(*ni, "mhod", MinObjectHeader, [&](const Record &object) {
            if (static_cast<ObjectType>(int16At(object.at + 12)) == ObjectType::FileName)
                thumb.file = fileName(object);
        });
        return thumb;
    }

    // A string object: UTF-16LE when its encoding byte is 2, else UTF-8.
    QString fileName(const Record &object) const
    {
        if (object.end - object.at < StringHeader)
            return {};
        const qsizetype length = m_in.int32At(object.at + 24);
        if (length < 0 || length > object.end - object.at - StringHeader)
            return {};
        const char *text = m_in.data() + object.at + StringHeader;
        if (static_cast<uint8_t>(m_in.data()[object.at + 28]) == 2)
            return decodeITunesString(text, length);
        return QString::fromUtf8(text, length);
    }

    void fileEntry(const Record &entry)
    {
        m_db.files.push_back({m_in.int32At(entry.at + 16), m_in.uint32At(entry.at + 20)});
    }

    ByteReader m_in;
    ArtworkDb m_db;
};

} // namespace

const ArtworkImage *ArtworkDb::imageFor(uint32_t artworkId, uint64_t dbid) const
{
    auto found = artworkId != 0 ? byId.constFind(artworkId) : byId.constEnd();
    if (found == byId.constEnd()) {
        const auto byDb = dbid != 0 ? byDbid.constFind(dbid) : byDbid.constEnd();
        if (byDb == byDbid.constEnd())
            return nullptr;
        return &images[static_cast<std::size_t>(*byDb)];
    }
    return &images[static_cast<std::size_t>(*found)];
}

ArtworkDb readArtworkDb(QByteArrayView bytes)
{
    return Walker(bytes).run();
}

} // namespace corvanel::itunesdb
