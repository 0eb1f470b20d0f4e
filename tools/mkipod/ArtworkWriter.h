#pragma once
// Builds an iPod's Artwork folder: the ArtworkDB and its .ithmb files of RGB565 covers.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace mkipod {

// One stored size of a cover. The slot holds `pixels` (format-sized, little-endian RGB565 unless
// the test gives other bytes); the picture is width x height inside it after the paddings.
struct CoverThumb
{
    CoverThumb() = default;
    CoverThumb(int32_t format, int pictureWidth, int pictureHeight, QByteArray slotPixels)
        : formatId(format), width(pictureWidth), height(pictureHeight), pixels(std::move(slotPixels))
    {
    }

    int32_t formatId = 1029;
    int width = 200;
    int height = 200;
    int horizontalPadding = 0;
    int verticalPadding = 0;
    QByteArray pixels;
    QString file;              // ":F1029_1.ithmb" when empty
    int64_t offsetShift = 0;   // added to the stored offset (damaged databases)
    int64_t sizeOverride = -1; // stored instead of the slot's size when >= 0
};

struct CoverImage
{
    uint32_t imageId = 0;
    uint64_t songDbid = 0;
    std::vector<CoverThumb> thumbs;
};

// The colour of pixel (x, y) of album pattern `pattern` in a width x height cover, as RGB565:
// diagonal stripes whose colours and width the pattern chooses.
uint16_t coverPixel565(int pattern, int x, int y);
// A width x height cover of that pattern, little-endian RGB565, rows top to bottom.
QByteArray coverPixels(int pattern, int width, int height);

// The ArtworkDB bytes; the thumbs' offsets are where writeArtwork places them (each file's
// slots in order of first use, equal pixels of one file sharing a slot).
QByteArray buildArtworkDb(const std::vector<CoverImage> &images);
// Writes <root>/iPod_Control/Artwork/ArtworkDB and its .ithmb files.
bool writeArtwork(const QString &root, const std::vector<CoverImage> &images, QString *error = nullptr);

} // namespace mkipod
