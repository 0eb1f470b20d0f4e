#include "ArtworkWriter.h"
#include "BuilderSupport.h"
#include "ByteWriter.h"

#include <QDir>
#include <QHash>
#include <map>

namespace mkipod {

using namespace detail;

namespace {

QString fileOf(const CoverThumb &thumb)
{
    return thumb.file.isEmpty() ? QStringLiteral(":F%1_1.ithmb").arg(thumb.formatId) : thumb.file;
}

// Where each thumb's pixels go: file name -> contents, and per thumb its offset.
struct Placement
{
    std::map<QString, QByteArray> files;
    std::vector<std::vector<int64_t>> offsets; // [image][thumb]
};

Placement place(const std::vector<CoverImage> &images)
{
    Placement placement;
    QHash<QString, QHash<QByteArray, int64_t>> shared;
    for (const CoverImage &image : images) {
        auto &offsets = placement.offsets.emplace_back();
        for (const CoverThumb &thumb : image.thumbs) {
            const QString file = fileOf(thumb);
            QByteArray &contents = placement.files[file];
            auto &known = shared[file];
            auto found = known.constFind(thumb.pixels);
            if (found == known.constEnd()) {
                found = known.insert(thumb.pixels, contents.size());
                contents += thumb.pixels;
            }
            offsets.push_back(*found);
        }
    }
    return placement;
}

void writeFileName(ByteWriter &w, const QString &name)
{
    const qsizetype at = w.beginRecord("mhod", 24);
    w.set16(at + 12, 3); // file name
    const QByteArray text = name.toUtf8();
    w.append32(uint32_t(text.size()));
    w.append8(1); // UTF-8
    w.appendZeros(7);
    w.appendBytes(text);
    w.appendZeros((4 - text.size() % 4) % 4);
    w.endRecord(at);
}

void writeThumb(ByteWriter &w, const CoverThumb &thumb, int64_t offset)
{
    const qsizetype container = w.beginRecord("mhod", 24);
    w.set16(container + 12, 2); // thumbnail
    const qsizetype at = w.beginRecord("mhni", 76);
    w.set32(at + 12, 1);
    w.set32(at + 16, uint32_t(thumb.formatId));
    w.set32(at + 20, uint32_t(offset + thumb.offsetShift));
    w.set32(at + 24, uint32_t(thumb.sizeOverride >= 0 ? thumb.sizeOverride : thumb.pixels.size()));
    w.set16(at + 28, uint16_t(thumb.verticalPadding));
    w.set16(at + 30, uint16_t(thumb.horizontalPadding));
    w.set16(at + 32, uint16_t(thumb.height));
    w.set16(at + 34, uint16_t(thumb.width));
    w.set32(at + 40, uint32_t(thumb.pixels.size()));
    writeFileName(w, fileOf(thumb));
    w.endRecord(at);
    w.endRecord(container);
}

} // namespace

uint16_t coverPixel565(int pattern, int x, int y)
{
    const int stripe = 6 + pattern % 5 * 3;
    const bool dark = ((x + y) / stripe) % 2 == 0;
    const int r = (pattern * 7 + 9) % 32, g = (pattern * 13 + 40) % 64, b = (pattern * 5 + 20) % 32;
    return dark ? uint16_t(r / 2 << 11 | g / 2 << 5 | b / 2) : uint16_t(r << 11 | g << 5 | b);
}

QByteArray coverPixels(int pattern, int width, int height)
{
    QByteArray bytes(qsizetype(width) * height * 2, Qt::Uninitialized);
    char *out = bytes.data();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint16_t v = coverPixel565(pattern, x, y);
            *out++ = char(v & 0xFF);
            *out++ = char(v >> 8);
        }
    return bytes;
}

QByteArray buildArtworkDb(const std::vector<CoverImage> &images)
{
    const Placement placement = place(images);
    ByteWriter w;
    const qsizetype file = w.beginRecord("mhfd", 132);
    w.set32(file + 16, 2);
    w.set32(file + 20, 3); // data sets
    uint32_t nextId = 100;
    for (const CoverImage &image : images)
        nextId = std::max(nextId, image.imageId + 1);
    w.set32(file + 28, nextId);

    const qsizetype imageSet = w.beginRecord("mhsd", 96);
    w.set16(imageSet + 12, 1);
    const qsizetype imageList = w.beginRecord("mhli", 92);
    w.set32(imageList + 8, uint32_t(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const CoverImage &image = images[i];
        const qsizetype at = w.beginRecord("mhii", 152);
        w.set32(at + 12, uint32_t(image.thumbs.size()));
        w.set32(at + 16, image.imageId);
        w.set64(at + 20, image.songDbid);
        for (size_t t = 0; t < image.thumbs.size(); ++t)
            writeThumb(w, image.thumbs[t], placement.offsets[i][t]);
        w.endRecord(at);
    }
    w.endRecord(imageSet);

    const qsizetype albumSet = w.beginRecord("mhsd", 96);
    w.set16(albumSet + 12, 2);
    w.beginRecord("mhla", 92); // no photo albums
    w.endRecord(albumSet);

    const qsizetype fileSet = w.beginRecord("mhsd", 96);
    w.set16(fileSet + 12, 3);
    QHash<int32_t, int64_t> slotSizes;
    for (const CoverImage &image : images)
        for (const CoverThumb &thumb : image.thumbs)
            slotSizes.insert(thumb.formatId, thumb.pixels.size());
    const qsizetype fileList = w.beginRecord("mhlf", 92);
    w.set32(fileList + 8, uint32_t(slotSizes.size()));
    for (auto it = slotSizes.constBegin(); it != slotSizes.constEnd(); ++it) {
        const qsizetype at = w.beginRecord("mhif", 124);
        w.set32(at + 16, uint32_t(it.key()));
        w.set32(at + 20, uint32_t(it.value()));
        w.endRecord(at);
    }
    w.endRecord(fileSet);
    w.endRecord(file);
    return w.take();
}

bool writeArtwork(const QString &root, const std::vector<CoverImage> &images, QString *error)
{
    const QString folder = QDir(root).filePath(QStringLiteral("iPod_Control/Artwork"));
    if (!QDir().mkpath(folder))
        return fail(error, QStringLiteral("Cannot create the folder %1").arg(folder));
    for (const auto &[name, contents] : place(images).files) {
        QString local = name;
        local.replace(QLatin1Char(':'), QLatin1Char('/'));
        if (!writeFile(folder + QLatin1Char('/') + local.section(QLatin1Char('/'), -1), contents, error))
            return false;
    }
    return writeFile(folder + QStringLiteral("/ArtworkDB"), buildArtworkDb(images), error);
}

} // namespace mkipod
