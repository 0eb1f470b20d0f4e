#pragma once
// Encoders for interleaved 16-bit stereo PCM at 44100 Hz, and the tag blocks of the file formats.
#include "IpodBuilder.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace mkipod {

// MP3 at 128 kbit/s CBR through LAME, with an Info frame so that decoders know the exact length.
bool encodeMp3(const std::vector<int16_t> &pcm, QByteArray *out, QString *error);
// AAC-LC at 128 kbit/s in an MP4 ("ipod" muxer) file through FFmpeg, with iTunes metadata atoms
// for the tags.
bool encodeAacFile(const std::vector<int16_t> &pcm, const QString &path, const SongTags &tags, QString *error);

// "3/12", "3" without a total, empty without a track number.
QString trackText(const SongTags &tags);
// A RIFF "LIST" chunk of type "INFO" (INAM, IART, IPRD, IGNR, ITRK); empty when there is nothing to write.
QByteArray buildInfoList(const SongTags &tags);

} // namespace mkipod
