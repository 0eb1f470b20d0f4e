#pragma once
// Encoders for interleaved 16-bit stereo PCM at 44100 Hz, and the tag blocks of the file formats.
#include "IpodBuilder.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace mkipod {

// How an MP3 spends its bits: constant 128 kbit/s, or variable with or without the Xing/Info
// frame that tells decoders the exact length (without it, the first frame's rate misleads them).
enum class Mp3Rate { Constant, Variable, VariableWithoutInfo };

// MP3 through LAME; every kind but VariableWithoutInfo begins with the Info frame.
bool encodeMp3(const std::vector<int16_t> &pcm, QByteArray *out, QString *error, Mp3Rate rate = Mp3Rate::Constant);
// AAC-LC at 128 kbit/s in an MP4 ("ipod" muxer) file through FFmpeg, with iTunes metadata atoms
// for the tags.
bool encodeAacFile(const std::vector<int16_t> &pcm, const QString &path, const SongTags &tags, QString *error);

// "3/12", "3" without a total, empty without a track number.
QString trackText(const SongTags &tags);
// A RIFF "LIST" chunk of type "INFO" (INAM, IART, IPRD, IGNR, ITRK); empty when there is nothing to write.
QByteArray buildInfoList(const SongTags &tags);

} // namespace mkipod
