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

constexpr int BufferBytes = 16 * 1024;
// The largest single block FFmpeg may allocate (the sound engine sets the same).
constexpr std::size_t MaxFFmpegAllocation = 128u << 20;

// Where the bytes come from: a file descriptor or memory. Reads and seeks never go past
// the end of what is there.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    virtual int read(uint8_t *buffer, int size) = 0;
    virtual int64_t seek(int64_t offset, int whence) = 0;
    virtual int64_t size() const = 0;

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
    // The new position of a seek in a stream of `size` bytes now at `position`, or -1.
    static int64_t target(int64_t position, int64_t size, int64_t offset, int whence)
    {
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            return offset >= 0 && offset <= size ? offset : -1;
        case SEEK_CUR:
            return offset >= -position && offset <= size - position ? position + offset : -1;
        case SEEK_END:
            return offset <= 0 && offset >= -size ? size + offset : -1;
        default:
            return -1;
        }
    }
};

class MemorySource final : public ByteSource
{
public:
    explicit MemorySource(QByteArrayView bytes) : m_bytes(bytes) {}
    int read(uint8_t *buffer, int size) override
    {
        const auto n = static_cast<int>(std::min<int64_t>(size, m_bytes.size() - m_position));
        if (n <= 0)
            return 0;
        std::memcpy(buffer, m_bytes.data() + m_position, static_cast<std::size_t>(n));
        m_position += n;
        return n;
    }
    int64_t size() const override { return m_bytes.size(); }
    int64_t seek(int64_t offset, int whence) override
    {
        if (whence & AVSEEK_SIZE)
            return m_bytes.size();
        const int64_t to = target(m_position, m_bytes.size(), offset, whence);
        if (to < 0)
            return AVERROR(EINVAL);
        return m_position = to;
    }

private:
    QByteArrayView m_bytes;
    int64_t m_position = 0;
};

class FileSource final : public ByteSource
{
public:
    explicit FileSource(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
    {
        struct stat info
        {
        };
        // Only ordinary files: a pipe or a device under the Music folder would block or never end.
        if (m_fd >= 0 && (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode))) {
            ::close(m_fd);
            m_fd = -1;
        }
        m_size = m_fd >= 0 ? info.st_size : 0;
    }
    ~FileSource() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int read(uint8_t *buffer, int size) override
    {
        const auto want = static_cast<std::size_t>(std::clamp<int64_t>(m_size - m_position, 0, size));
        if (want == 0)
            return 0;
        const ssize_t got = ::pread(m_fd, buffer, want, m_position);
        if (got <= 0)
            return 0;
        m_position += got;
        return static_cast<int>(got);
    }
    int64_t size() const override { return m_size; }
    int64_t seek(int64_t offset, int whence) override
    {
        if (whence & AVSEEK_SIZE)
            return m_size;
        const int64_t to = target(m_position, m_size, offset, whence);
        if (to < 0)
            return AVERROR(EINVAL);
        return m_position = to;
    }

private:
    int m_fd = -1;
    int64_t m_size = 0;
    int64_t m_position = 0;
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
    source.seek(0, SEEK_SET);
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
    auto [context, io] = openWith(source, formatForName(fileName));
    if (!context)
        std::tie(context, io) = openWith(source, nullptr);
    if (!context)
        return std::nullopt;
    const AVStream *stream = audioStreamOf(*context);
    if (!stream)
        return std::nullopt;
    int64_t length = durationMs(*context, *stream);
    if (length < 0) {
        // The container does not say (an MP3 without a Xing frame, raw AAC): estimate from
        // the first packets, as little of them as gives an answer.
        context->probesize = 256 * 1024;
        if (avformat_find_stream_info(context.get(), nullptr) >= 0)
            length = durationMs(*context, *stream);
    }
    FileTags tags;
    tags.size = source.size();
    tags.fileType = fileTypeOf(*context, *stream);
    if (tags.fileType.isEmpty())
        return std::nullopt;
    tags.lengthMs = static_cast<int32_t>(std::clamp<int64_t>(length, 0, INT32_MAX));
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

std::optional<FileTags> readFileTags(const QString &path)
{
    FileSource source(path);
    if (!source.isOpen())
        return std::nullopt;
    return readTags(source, path);
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
