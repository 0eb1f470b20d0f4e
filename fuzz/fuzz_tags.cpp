// Arbitrary bytes as a song file for the tag scan: the first byte chooses the name's extension
// (which picks the demuxer tried first), the rest is the file. libavformat opens it with the
// scan's options, and the tags go through the scan's mapping and cleaning.
#include <TagReader.h>

#include <cstddef>
#include <cstdint>

using namespace corvanel::itunesdb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const char16_t *const names[] = {u"A.mp3", u"A.m4a", u"A.wav", u"A.aiff",
                                            u"A.aac", u"A.m4p", u"A.mp4", u"A.bin"};
    const QString name = QString::fromUtf16(names[data[0] % std::size(names)]);
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    if (const std::optional<FileTags> tags = readTagsFromBytes(bytes, name)) {
        if (tags->title.size() > MaxTagCharacters || tags->artist.size() > MaxTagCharacters || tags->lengthMs < 0 ||
            tags->trackNumber < 0 || tags->fileType.isEmpty())
            __builtin_trap();
    }
    return 0;
}
