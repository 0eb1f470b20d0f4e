#include "TagReader.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

#include <QFile>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanel::itunesdb {

namespace {

// The MP3 demuxer looks for its first frame at each byte of the 64 KB after the tag, going
// back to the start of that span after each try: a buffer that holds the span whole serves
// those tries without a read each.
constexpr int BufferBytes = 128 * 1024;
// The largest single block FFmpeg may allocate (the sound engine sets the same).
constexpr std::size_t MaxFFmpegAllocation = 128u << 20;

// How far into the audio a file is read to find its first frame and estimate its length,
// when the container's header does not give the length: a large file that only claims to be
// a song then costs no more than this.
constexpr int64_t AudioSpanBytes = 1 << 20;
// The packet bytes the length estimate may look at within that span.
constexpr int64_t EstimateProbeBytes = 256 * 1024;

// Where the bytes come from: a file descriptor or memory. Reads and seeks never go past the
// end of what is there, and reads stop at the limit, if one is set.
class ByteSource
{
public:
    virtual ~ByteSource() = default;

    int64_t size() const { return m_size; }
    // Back to the start, with no limit.
    void rewind()
    {
        m_position = 0;
        m_limit = INT64_MAX;
    }
    // Reads at or past `end` find the end of the file.
    void limitReadsTo(int64_t end) { m_limit = end; }

    static int readPacket(void *opaque, uint8_t *buffer, int size)
    {
        const int got = static_cast<ByteSource *>(opaque)->read(buffer, size);
        return got > 0 ? got : AVERROR_EOF;
    }
    static int64_t seekTo(void *opaque, int64_t offset, int whence)
    {
        return static_cast<ByteSource *>(opaque)->seek(offset, whence);
    }

protected:
    explicit ByteSource(int64_t size) : m_size(size) {}
    // Reads `size` bytes (all there, before the end) at `at`; the count read, 0 on failure.
    virtual int readAt(uint8_t *buffer, int size, int64_t at) = 0;

private:
    int read(uint8_t *buffer, int size)
    {
        const int64_t end = std::min(m_size, m_limit);
        const auto want = static_cast<int>(std::clamp<int64_t>(end - m_position, 0, size));
        if (want == 0)
            return 0;
        const int got = readAt(buffer, want, m_position);
        if (got <= 0)
            return 0;
        m_position += got;
        return got;
    }
    int64_t seek(int64_t offset, int whence)
    {
        if (whence & AVSEEK_SIZE)
            return m_size;
        int64_t to = -1;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            to = offset;
            break;
        case SEEK_CUR:
            to = offset >= -m_position && offset <= m_size - m_position ? m_position + offset : -1;
            break;
        case SEEK_END:
            to = offset <= 0 && offset >= -m_size ? m_size + offset : -1;
            break;
        default:
            break;
        }
        if (to < 0 || to > m_size)
            return AVERROR(EINVAL);
        return m_position = to;
    }

    int64_t m_size;
    int64_t m_position = 0;
    int64_t m_limit = INT64_MAX;
};

class MemorySource final : public ByteSource
{
public:
    explicit MemorySource(QByteArrayView bytes) : ByteSource(bytes.size()), m_bytes(bytes) {}

protected:
    int readAt(uint8_t *buffer, int size, int64_t at) override
    {
        std::memcpy(buffer, m_bytes.data() + at, static_cast<std::size_t>(size));
        return size;
    }

private:
    QByteArrayView m_bytes;
};

class FileSource final : public ByteSource
{
public:
    FileSource(int fd, int64_t size) : ByteSource(size), m_fd(fd) {}
    ~FileSource() override { ::close(m_fd); }
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    // Only ordinary files: a pipe or a device under the Music folder would block or never end.
    static std::unique_ptr<FileSource> open(const QByteArray &fileName)
    {
        const int fd = ::open(fileName.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return nullptr;
        struct stat info
        {
        };
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<FileSource>(fd, static_cast<int64_t>(info.st_size));
    }

protected:
    int readAt(uint8_t *buffer, int size, int64_t at) override
    {
        const ssize_t got = ::pread(m_fd, buffer, static_cast<std::size_t>(size), at);
        return got > 0 ? static_cast<int>(got) : 0;
    }

private:
    int m_fd;
};

// No demuxer may open a second file or address: a playlist-like file cannot reach outside.
int refuseOpen(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **)
{
    return AVERROR(EPERM);
}

// The demuxers a song file may be read with.
constexpr const char *AllowedFormats = "mp3,mov,mp4,m4a,wav,aiff,aac";

struct ContextDeleter
{
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
struct IoDeleter
{
    void operator()(AVIOContext *io) const
    {
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }
};
using Context = std::unique_ptr<AVFormatContext, ContextDeleter>;
using Io = std::unique_ptr<AVIOContext, IoDeleter>;

// The demuxer the extension names, tried before probing the bytes.
const AVInputFormat *formatForName(QStringView fileName)
{
    // Looked up once: finding a demuxer by name walks them all.
    static const AVInputFormat *const mp3 = av_find_input_format("mp3");
    static const AVInputFormat *const mov = av_find_input_format("mov");
    static const AVInputFormat *const wav = av_find_input_format("wav");
    static const AVInputFormat *const aiff = av_find_input_format("aiff");
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QStringView extension = dot < 0 ? QStringView() : fileName.mid(dot + 1);
    auto is = [&](const char *name) { return extension.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    if (is("mp3"))
        return mp3;
    if (is("m4a") || is("m4b") || is("m4p") || is("mp4"))
        return mov;
    if (is("wav"))
        return wav;
    if (is("aif") || is("aiff") || is("aifc"))
        return aiff;
    return nullptr;
}

// Opens the source with one demuxer (or by probing when `format` is null). The source is
// rewound first, so that a failed attempt leaves nothing behind for the next.
std::pair<Context, Io> openWith(ByteSource &source, const AVInputFormat *format)
{
    source.rewind();
    auto *buffer = static_cast<unsigned char *>(av_malloc(BufferBytes));
    if (!buffer)
        return {};
    Io io(avio_alloc_context(buffer, BufferBytes, 0, &source, &ByteSource::readPacket, nullptr, &ByteSource::seekTo));
    if (!io) {
        av_free(buffer);
        return {};
    }
    AVFormatContext *raw = avformat_alloc_context();
    if (!raw)
        return {};
    raw->pb = io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    raw->io_open = &refuseOpen;
    raw->format_whitelist = av_strdup(AllowedFormats); // freed with the context
    if (!raw->format_whitelist) {
        avformat_free_context(raw);
        return {};
    }
    if (avformat_open_input(&raw, nullptr, format, nullptr) < 0)
        return {}; // avformat_open_input frees the context on failure
    return {Context(raw), std::move(io)};
}

const AVStream *audioStreamOf(const AVFormatContext &context)
{
    for (unsigned i = 0; i < context.nb_streams; ++i)
        if (context.streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            return context.streams[i];
    return nullptr;
}

QString fileTypeOf(const AVFormatContext &context, const AVStream &stream)
{
    const QLatin1String format(context.iformat->name);
    switch (stream.codecpar->codec_id) {
    case AV_CODEC_ID_ALAC:
        return QStringLiteral("Apple Lossless audio file");
    case AV_CODEC_ID_AAC:
        return QStringLiteral("AAC audio file");
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP1:
        return QStringLiteral("MPEG audio file");
    default:
        break;
    }
    if (format == QLatin1String("wav"))
        return QStringLiteral("WAV audio file");
    if (format == QLatin1String("aiff"))
        return QStringLiteral("AIFF audio file");
    if (format.startsWith(QLatin1String("mov")))
        return QStringLiteral("AAC audio file"); // protected AAC has no codec FFmpeg knows
    return QString();
}

int64_t durationMs(AVFormatContext &context, const AVStream &stream)
{
    if (stream.duration > 0 && stream.time_base.num > 0 && stream.time_base.den > 0) {
        int64_t duration = stream.duration;
        // An MP3's encoder delay, which decoding skips, shows as the stream's start.
        if (stream.codecpar->codec_id == AV_CODEC_ID_MP3 && stream.start_time != AV_NOPTS_VALUE &&
            stream.start_time > 0 && stream.start_time < duration)
            duration -= stream.start_time;
        return av_rescale_q(duration, stream.time_base, AVRational{1, 1000});
    }
    if (context.duration > 0)
        return context.duration / (AV_TIME_BASE / 1000);
    return -1;
}

QString tagValue(const AVFormatContext &context, const AVStream &stream, const char *key)
{
    const AVDictionaryEntry *entry = av_dict_get(context.metadata, key, nullptr, 0);
    if (!entry)
        entry = av_dict_get(stream.metadata, key, nullptr, 0);
    return entry ? cleanTagText(entry->value) : QString();
}

int32_t leadingNumber(const QString &text)
{
    const QByteArray digits = text.trimmed().toLatin1();
    int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.constData(), digits.constData() + digits.size(), value);
    return error == std::errc() && value > 0 ? value : 0;
}

// The song's length in milliseconds, or nothing when the file holds no audio frame. Where
// the container does not state the length (an MP3 without a Xing or VBRI frame, raw AAC), it is
// estimated from the first frames and the file's size, reading no further than AudioSpanBytes
// into the audio: a file of zeros or noise ends there instead of being searched to its end.
std::optional<int64_t> lengthOf(ByteSource &source, AVFormatContext &context, const AVStream &stream)
{
    if (const int64_t stated = durationMs(context, stream); stated >= 0)
        return stated;
    source.limitReadsTo(avio_tell(context.pb) + AudioSpanBytes);
    context.probesize = EstimateProbeBytes;
    if (avformat_find_stream_info(&context, nullptr) < 0)
        return std::nullopt;
    // The parameters come from a frame found and decoded; without one nothing was found.
    if (stream.codecpar->sample_rate <= 0 || stream.codecpar->ch_layout.nb_channels <= 0)
        return std::nullopt;
    return std::max<int64_t>(durationMs(context, stream), 0);
}

std::optional<FileTags> readWith(ByteSource &source, const AVInputFormat *format)
{
    auto [context, io] = openWith(source, format);
    if (!context)
        return std::nullopt;
    const AVStream *stream = audioStreamOf(*context);
    if (!stream)
        return std::nullopt;
    FileTags tags;
    tags.fileType = fileTypeOf(*context, *stream);
    if (tags.fileType.isEmpty())
        return std::nullopt;
    const std::optional<int64_t> length = lengthOf(source, *context, *stream);
    if (!length)
        return std::nullopt;
    tags.size = source.size();
    tags.lengthMs = static_cast<int32_t>(std::min<int64_t>(*length, INT32_MAX));
    tags.title = tagValue(*context, *stream, "title");
    tags.artist = tagValue(*context, *stream, "artist");
    if (tags.artist.isEmpty())
        tags.artist = QStringLiteral("No Artist");
    tags.album = tagValue(*context, *stream, "album");
    tags.genre = tagValue(*context, *stream, "genre");
    if (tags.genre.isEmpty())
        tags.genre = QStringLiteral("No Genre");
    tags.trackNumber = leadingNumber(tagValue(*context, *stream, "track"));
    return tags;
}

std::optional<FileTags> readTags(ByteSource &source, QStringView fileName)
{
    [[maybe_unused]] static const bool once = [] {
        // A damaged file is counted by the caller; libavformat's own complaints would only clutter the terminal.
        av_log_set_level(AV_LOG_FATAL);
        // A tag or table size comes from the file: a crafted one would have FFmpeg take
        // gigabytes for a few bytes of file. No real song needs a larger single block.
        av_max_alloc(MaxFFmpegAllocation);
        return true;
    }();
    // The demuxer the name asks for first; when it finds no song, whatever the bytes look like.
    const AVInputFormat *named = formatForName(fileName);
    if (named)
        if (std::optional<FileTags> tags = readWith(source, named))
            return tags;
    return readWith(source, nullptr);
}

} // namespace

bool isSongFileName(QStringView name)
{
    if (name.startsWith(QLatin1Char('.')))
        return false;
    static const char *const extensions[] = {"mp3", "m4a", "m4b", "m4p", "mp4", "aac", "wav", "aif", "aiff", "aifc"};
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    const QStringView extension = name.mid(dot + 1);
    return std::any_of(std::begin(extensions), std::end(extensions), [&](const char *known) {
        return extension.compare(QLatin1String(known), Qt::CaseInsensitive) == 0;
    });
}

std::optional<FileTags> readFileTags(const QByteArray &fileName)
{
    const std::unique_ptr<FileSource> source = FileSource::open(fileName);
    if (!source)
        return std::nullopt;
    return readTags(*source, QFile::decodeName(fileName));
}

std::optional<FileTags> readTagsFromBytes(QByteArrayView bytes, QStringView fileName)
{
    MemorySource source(bytes);
    return readTags(source, fileName);
}

QString cleanTagText(const char *utf8)
{
    // Decode no more than a value can keep: four bytes per character at most.
    const std::size_t bytes = ::strnlen(utf8, static_cast<std::size_t>(MaxTagCharacters) * 4 * 2);
    QString text = QString::fromUtf8(utf8, static_cast<qsizetype>(bytes));
    text.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    text = text.trimmed();
    if (text.size() > MaxTagCharacters) {
        qsizetype keep = MaxTagCharacters;
        if (text.at(keep - 1).isHighSurrogate())
            --keep;
        text.truncate(keep);
    }
    return text;
}

} // namespace corvanel::itunesdb
