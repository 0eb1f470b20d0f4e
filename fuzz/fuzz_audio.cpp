// Arbitrary bytes as a sound file: FSOUND_Sample_Load, a little offline playback, a seek into the
// middle, the same bytes queued to follow without a gap, more playback, FSOUND_Sample_Free. The
// bytes live in a memory file so no disk is involved. They are read as an iTunSMPB text too.
#include "AudioDecoder.h"
#include "FSound.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace corvanel;
using namespace corvanel::playback;

namespace {

int memoryFile()
{
    static const int fd = [] {
        if (!FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND_NONREALTIME) || !FSOUND_Init(44100, 32, 0))
            __builtin_trap();
        return memfd_create("fuzz_audio", 0);
    }();
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int fd = memoryFile();
    audio::itunesSampleCount(std::string(reinterpret_cast<const char *>(data), size).c_str());
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const int sample = FSOUND_Sample_Load(-1, path.c_str(), 0x130, 0, 0);
    if (sample == 0)
        return 0;
    std::vector<float> block(2048 * 2);
    const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
    if (channel != 0) {
        FSOUND_Offline_Render(block.data(), 2048);
        const unsigned length = FSOUND_Sample_GetLength(sample);
        FSOUND_SetCurrentPosition(channel, length / 2);
        const int next = queueSample(channel, path.c_str());
        FSOUND_Offline_Render(block.data(), 2048);
        FSOUND_GetCurrentPosition(channel);
        FSOUND_IsPlaying(channel);
        playingSample(channel);
        FSOUND_Sample_Free(next);
    }
    FSOUND_Sample_Free(sample);
    return 0;
}
