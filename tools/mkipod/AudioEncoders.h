#pragma once
// Encoders for interleaved 16-bit stereo PCM at 44100 Hz.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace mkipod {

// MP3 at 128 kbit/s CBR through LAME, with an Info frame so that decoders know the exact length.
bool encodeMp3(const std::vector<int16_t> &pcm, QByteArray *out, QString *error);
// AAC-LC at 128 kbit/s in an MP4 ("ipod" muxer) file through FFmpeg.
bool encodeAacFile(const std::vector<int16_t> &pcm, const QString &path, QString *error);

} // namespace mkipod
