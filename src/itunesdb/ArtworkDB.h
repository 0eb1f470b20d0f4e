#pragma once
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <cstdint>
#include <vector>

namespace corvanel::itunesdb {

// One stored size of an image ("mhni"): where its pixels lie in which .ithmb file.
struct ArtworkThumb
{
    int32_t formatId = 0;
    QString file; // as stored, ":F1029_1.ithmb"; empty when the record names none
    int64_t offset = 0;
    int64_t size = 0; // bytes of the slot in the file
    int width = 0;    // of the picture inside the slot
    int height = 0;
    int horizontalPadding = 0;
    int verticalPadding = 0;
};

// One image ("mhii"): its id, the dbid of the song it belongs to, and its stored sizes.
struct ArtworkImage
{
    uint32_t id = 0;
    uint64_t songDbid = 0;
    std::vector<ArtworkThumb> thumbs;
};

// One entry of the file list ("mhif"): the slot size of a format's .ithmb file.
struct ArtworkFile
{
    int32_t formatId = 0;
    int64_t slotSize = 0;
};

// What an iPod's Artwork/ArtworkDB holds about covers. Read from untrusted bytes: a record
// whose lengths do not fit its parent ends the walk of that parent, and what was read before
// it is kept; `damaged` then says that something was left out.
struct ArtworkDb
{
    std::vector<ArtworkImage> images;
    std::vector<ArtworkFile> files;
    QHash<uint32_t, qsizetype> byId;   // image id -> index in images
    QHash<uint64_t, qsizetype> byDbid; // song dbid -> index in images (the first image wins)
    bool damaged = false;

    // The image of a song: by the image id its track record links to, else by its dbid.
    const ArtworkImage *imageFor(uint32_t artworkId, uint64_t dbid) const;
};

ArtworkDb readArtworkDb(QByteArrayView bytes);

} // namespace corvanel::itunesdb
