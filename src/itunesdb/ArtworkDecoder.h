#pragma once
#include "ArtworkDB.h"

#include <QByteArrayView>
#include <QImage>
#include <cstdint>
#include <vector>

namespace corvanel::itunesdb {

// How a format lays its pixels out in an .ithmb slot. The "Rotated" layouts store the picture
// turned a quarter counter-clockwise (the slot is height pixels wide), so reading turns it back.
enum class PixelLayout {
    Rgb565Le,
    Rgb565Be,
    Rgb565LeRotated,
    Rgb565BeRotated,
    Rgb555Le,
    Rgb555Be,
    Unsupported, // UYVY and I420 (TV-out sizes), the touch's recursive layout, JPEG
};

// One artwork format id: the slot's size in pixels and its layout.
struct ArtworkFormat
{
    int32_t id;
    int width;
    int height;
    PixelLayout layout;
};

// The format of an id, or nullptr for an id this program does not know.
const ArtworkFormat *artworkFormat(int32_t formatId);

// The stored sizes of an image that can be decoded, largest picture first.
std::vector<const ArtworkThumb *> decodableThumbs(const ArtworkImage &image);

// The picture of one slot of an .ithmb file (`slot` holds the thumb's `size` bytes from its
// offset); a null image when the format is unknown or unsupported, or the slot is too short.
QImage decodeThumb(QByteArrayView slot, const ArtworkThumb &thumb);

} // namespace corvanel::itunesdb
