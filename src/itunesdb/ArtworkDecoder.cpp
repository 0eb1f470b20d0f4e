#include "ArtworkDecoder.h"

#include <algorithm>
#include <array>

namespace corvanel::itunesdb {

namespace {

using enum PixelLayout;

// The format ids the iPods use for their covers and photos, from the models' published format
// lists (libgpod's src/itdb_device.c, the ArtworkFormat tables per generation, and the iPodLinux
// wiki's "ITunesDB" artwork pages). Photo, nano 1G/2G, video, classic and nano 3G-5G, the
// Motorola phone, the iPod touch.
constexpr std::array Formats{
    ArtworkFormat{1009, 42, 30, Rgb565Le},          // photo: photo list
    ArtworkFormat{1013, 220, 176, Rgb565BeRotated}, // photo: full screen
    ArtworkFormat{1015, 130, 88, Rgb565Le},         // photo, video: photo preview
    ArtworkFormat{1016, 140, 140, Rgb565Le},        // photo: cover, large
    ArtworkFormat{1017, 56, 56, Rgb565Le},          // photo: cover, small
    ArtworkFormat{1019, 720, 480, Unsupported},     // photo, video: TV out (UYVY)
    ArtworkFormat{1023, 176, 132, Rgb565Be},        // nano: full screen photo
    ArtworkFormat{1024, 320, 240, Rgb565Le},        // video, classic, nano 4G: full screen photo
    ArtworkFormat{1027, 100, 100, Rgb565Le},        // nano: cover, large
    ArtworkFormat{1028, 100, 100, Rgb565Le},        // video: cover, small
    ArtworkFormat{1029, 200, 200, Rgb565Le},        // video: cover, large
    ArtworkFormat{1031, 42, 42, Rgb565Le},          // nano: cover, small
    ArtworkFormat{1032, 42, 37, Rgb565Le},          // nano: photo list
    ArtworkFormat{1036, 50, 41, Rgb565Le},          // video: photo list
    ArtworkFormat{1055, 128, 128, Rgb565Le},        // classic, nano 3G/4G: cover, medium
    ArtworkFormat{1056, 128, 128, Rgb565Le},        // nano 5G: cover, medium
    ArtworkFormat{1060, 320, 320, Rgb565Le},        // classic, nano 3G: cover, large
    ArtworkFormat{1061, 56, 56, Rgb565Le},          // classic, nano 3G: cover, small
    ArtworkFormat{1066, 64, 64, Rgb565Le},          // classic, nano 3G-5G: photo list
    ArtworkFormat{1067, 720, 480, Unsupported},     // classic, nano 3G: TV out (I420)
    ArtworkFormat{1068, 128, 128, Rgb565Le},        // classic, nano 3G/4G: cover, cover flow
    ArtworkFormat{1071, 240, 240, Rgb565Le},        // nano 4G: cover, large
    ArtworkFormat{1073, 240, 240, Rgb565Le},        // nano 5G: cover, large
    ArtworkFormat{1074, 50, 50, Rgb565Le},          // nano 4G/5G: cover, small
    ArtworkFormat{1078, 80, 80, Rgb565Le},          // nano 4G/5G: cover, list
    ArtworkFormat{1079, 80, 80, Rgb565Le},          // nano 4G/5G: photo list
    ArtworkFormat{1083, 240, 320, Rgb565Le},        // nano 4G: full screen photo
    ArtworkFormat{1084, 240, 240, Rgb565Le},        // nano 4G: cover flow
    ArtworkFormat{1087, 384, 384, Rgb565Le},        // nano 5G: full screen photo
    ArtworkFormat{2002, 50, 50, Rgb565Be},          // Motorola phone: cover, small
    ArtworkFormat{2003, 150, 150, Rgb565Be},        // Motorola phone: cover, large
    ArtworkFormat{3001, 256, 256, Unsupported},     // touch: recursive RGB555
    ArtworkFormat{3002, 128, 128, Unsupported},     // touch: recursive RGB555
    ArtworkFormat{3003, 64, 64, Unsupported},       // touch: recursive RGB555
    ArtworkFormat{3005, 320, 320, Rgb555Le},        // touch: cover, large
    ArtworkFormat{3006, 56, 56, Rgb555Le},          // touch: cover, small (slot padded to 8192 bytes)
    ArtworkFormat{3007, 88, 88, Rgb555Le},          // touch: cover, list (slot padded to 16384 bytes)
};

constexpr int BytesPerPixel = 2;

// A 16-bit pixel as opaque ARGB32, each channel widened by repeating its top bits.
QRgb rgb565(uint16_t v)
{
    const int r = (v >> 11) & 0x1F, g = (v >> 5) & 0x3F, b = v & 0x1F;
    return qRgb((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

QRgb rgb555(uint16_t v)
{
    const int r = (v >> 10) & 0x1F, g = (v >> 5) & 0x1F, b = v & 0x1F;
    return qRgb((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
}

bool bigEndian(PixelLayout layout)
{
    return layout == Rgb565Be || layout == Rgb565BeRotated || layout == Rgb555Be;
}

bool rotated(PixelLayout layout)
{
    return layout == Rgb565LeRotated || layout == Rgb565BeRotated;
}

// The whole slot as stored: `width` x `height` pixels, rows one after another.
QImage decodeSlot(const uchar *bytes, int width, int height, PixelLayout layout)
{
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const bool big = bigEndian(layout);
    const bool fiveFiveFive = layout == Rgb555Le || layout == Rgb555Be;
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        const uchar *in = bytes + static_cast<qsizetype>(y) * width * BytesPerPixel;
        for (int x = 0; x < width; ++x, in += BytesPerPixel) {
            const auto v = static_cast<uint16_t>(big ? (in[0] << 8 | in[1]) : (in[1] << 8 | in[0]));
            row[x] = fiveFiveFive ? rgb555(v) : rgb565(v);
        }
    }
    return image;
}

} // namespace

const ArtworkFormat *artworkFormat(int32_t formatId)
{
    const auto found = std::find_if(Formats.begin(), Formats.end(),
                                    [formatId](const ArtworkFormat &format) { return format.id == formatId; });
    return found == Formats.end() ? nullptr : &*found;
}

std::vector<const ArtworkThumb *> decodableThumbs(const ArtworkImage &image)
{
    std::vector<const ArtworkThumb *> thumbs;
    for (const ArtworkThumb &thumb : image.thumbs) {
        const ArtworkFormat *format = artworkFormat(thumb.formatId);
        if (format && format->layout != Unsupported && !thumb.file.isEmpty() && thumb.size > 0)
            thumbs.push_back(&thumb);
    }
    const auto area = [](const ArtworkThumb *thumb) {
        const ArtworkFormat *format = artworkFormat(thumb->formatId);
        const int width = thumb->width > 0 ? thumb->width : format->width;
        const int height = thumb->height > 0 ? thumb->height : format->height;
        return static_cast<int64_t>(width) * height;
    };
    std::stable_sort(thumbs.begin(), thumbs.end(),
                     [&](const ArtworkThumb *a, const ArtworkThumb *b) { return area(a) > area(b); });
    return thumbs;
}

QImage decodeThumb(QByteArrayView slot, const ArtworkThumb &thumb)
{
    const ArtworkFormat *format = artworkFormat(thumb.formatId);
    if (!format || format->layout == Unsupported)
        return {};
    // A rotated slot is stored as many pixels wide as the picture is high.
    const int storedWidth = rotated(format->layout) ? format->height : format->width;
    const int storedHeight = rotated(format->layout) ? format->width : format->height;
    if (slot.size() < static_cast<qsizetype>(storedWidth) * storedHeight * BytesPerPixel)
        return {};
    QImage image = decodeSlot(reinterpret_cast<const uchar *>(slot.data()), storedWidth, storedHeight, format->layout);
    if (rotated(format->layout))
        image = image.transformed(QTransform().rotate(90));
    // The picture sits in the slot after its padding; a size of 0 means the whole slot.
    const int left = std::clamp(thumb.horizontalPadding, 0, format->width - 1);
    const int top = std::clamp(thumb.verticalPadding, 0, format->height - 1);
    const int width = thumb.width > 0 ? std::min(thumb.width, format->width - left) : format->width - left;
    const int height = thumb.height > 0 ? std::min(thumb.height, format->height - top) : format->height - top;
    if (left == 0 && top == 0 && width == format->width && height == format->height)
        return image;
    return image.copy(left, top, width, height);
}

} // namespace corvanel::itunesdb
