// The tags song files carry about themselves: ID3v2.3 for MP3 and "LIST" "INFO" for WAV.
#include "AudioEncoders.h"
#include "IpodBuilder.h"

#include <array>
#include <cstdint>

namespace mkipod {
namespace {

// A NUL would end the text early for every reader; it is not something a tag can hold.
QString withoutNul(const QString &text)
{
    QString out = text;
    out.remove(QChar(0));
    return out;
}

bool isLatin1(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

void appendBigEndian32(QByteArray &out, uint32_t v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

void appendLittleEndian32(QByteArray &out, uint32_t v)
{
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    out.append(b, 4);
}

// A text frame: encoding 0 (ISO-8859-1) or 1 (UTF-16 with a byte order mark), no terminator.
void appendTextFrame(QByteArray &out, const char *id, const QString &text)
{
    QByteArray body;
    if (isLatin1(text)) {
        body.append('\0');
        body.append(text.toLatin1());
    } else {
        body.reserve(3 + text.size() * 2);
        body.append('\1');
        body.append('\xFF');
        body.append('\xFE');
        for (QChar c : text) {
            body.append(char(c.unicode() & 0xFF));
            body.append(char(c.unicode() >> 8));
        }
    }
    out.append(id, 4);
    appendBigEndian32(out, uint32_t(body.size())); // ID3v2.3 frame sizes are plain 32-bit numbers
    out.append("\0\0", 2);                         // no frame flags
    out.append(body);
}

// A "LIST" "INFO" entry: the text in UTF-8 with its NUL, padded to an even size.
void appendInfoEntry(QByteArray &out, const char *id, const QString &text)
{
    QByteArray body = text.toUtf8();
    body.append('\0');
    out.append(id, 4);
    appendLittleEndian32(out, uint32_t(body.size()));
    out.append(body);
    if (body.size() % 2)
        out.append('\0');
}

struct TextField
{
    const char *id3;
    const char *info;
    QString value;
};

std::array<TextField, 5> fieldsOf(const SongTags &tags)
{
    return {{{"TIT2", "INAM", withoutNul(tags.title)},
             {"TPE1", "IART", withoutNul(tags.artist)},
             {"TALB", "IPRD", withoutNul(tags.album)},
             {"TCON", "IGNR", withoutNul(tags.genre)},
             {"TRCK", "ITRK", trackText(tags)}}};
}

} // namespace

QString trackText(const SongTags &tags)
{
    if (tags.trackNumber <= 0)
        return {};
    if (tags.totalTracks <= 0)
        return QString::number(tags.trackNumber);
    return QStringLiteral("%1/%2").arg(tags.trackNumber).arg(tags.totalTracks);
}

QByteArray buildId3Tag(const SongTags &tags)
{
    QByteArray frames;
    for (const TextField &f : fieldsOf(tags)) {
        if (f.value.isEmpty())
            continue;
        appendTextFrame(frames, f.id3, f.value);
    }
    // The header's size is syncsafe: 28 bits in four bytes of seven.
    constexpr qsizetype kMaxTagBody = (qsizetype(1) << 28) - 1;
    if (frames.isEmpty() || frames.size() > kMaxTagBody)
        return {};
    const uint32_t size = uint32_t(frames.size());
    QByteArray tag("ID3\x03\x00\x00", 6); // version 2.3.0, no flags
    tag.append(char((size >> 21) & 0x7F));
    tag.append(char((size >> 14) & 0x7F));
    tag.append(char((size >> 7) & 0x7F));
    tag.append(char(size & 0x7F));
    tag.append(frames);
    return tag;
}

QByteArray buildInfoList(const SongTags &tags)
{
    QByteArray entries;
    for (const TextField &f : fieldsOf(tags)) {
        if (f.value.isEmpty())
            continue;
        appendInfoEntry(entries, f.info, f.value);
    }
    if (entries.isEmpty())
        return {};
    QByteArray list("LIST", 4);
    appendLittleEndian32(list, uint32_t(4 + entries.size()));
    list.append("INFO", 4);
    list.append(entries);
    return list;
}

} // namespace mkipod
