#pragma once
// The sound engine: FSOUND_* operations over FFmpeg decoding, a 44100 Hz stereo mixer and SDL2 output.
//
// Handles are positive integers; 0 means failure. Channel -1 (FSOUND_FREE) asks for any free
// channel, -3 (FSOUND_ALL) means all channels. Positions and lengths count the sample's own frames.
// Every call is safe from the user-interface thread while the mixer and decode threads run; on
// failure a call sets the code that FSOUND_GetError returns (the FMOD_ERR_* values below).

// Error codes.
namespace corvanel::playback {

inline constexpr int FMOD_ERR_NONE = 0;
inline constexpr int FMOD_ERR_BUSY = 1;          // not allowed after FSOUND_Init
inline constexpr int FMOD_ERR_UNINITIALIZED = 2; // FSOUND_Init was not called
inline constexpr int FMOD_ERR_INIT = 3;          // no output device opens
inline constexpr int FMOD_ERR_ALLOCATED = 4;
inline constexpr int FMOD_ERR_PLAY = 5;
inline constexpr int FMOD_ERR_OUTPUT_FORMAT = 6;
inline constexpr int FMOD_ERR_COOPERATIVELEVEL = 7;
inline constexpr int FMOD_ERR_CREATEBUFFER = 8;
inline constexpr int FMOD_ERR_FILE_NOTFOUND = 9;
inline constexpr int FMOD_ERR_FILE_FORMAT = 10; // not a sound we can decode
inline constexpr int FMOD_ERR_FILE_BAD = 11;    // unreadable, or its first frame does not decode
inline constexpr int FMOD_ERR_MEMORY = 12;
inline constexpr int FMOD_ERR_VERSION = 13;
inline constexpr int FMOD_ERR_INVALID_PARAM = 14; // unknown handle or bad argument
inline constexpr int FMOD_ERR_NO_EAX = 15;
inline constexpr int FMOD_ERR_CHANNEL_ALLOC = 16; // every channel is in use
inline constexpr int FMOD_ERR_RECORD = 17;
inline constexpr int FMOD_ERR_MEDIAPLAYER = 18; // a sound this engine cannot decode (protected, or no packet decodes)
inline constexpr int FMOD_ERR_CDDEVICE = 19;

inline constexpr int FSOUND_FREE = -1;
inline constexpr int FSOUND_ALL = -3;

// Sample modes: accepted and ignored (every sound plays with its own channels, as floats).
inline constexpr unsigned FSOUND_8BITS = 0x0008;
inline constexpr unsigned FSOUND_16BITS = 0x0010;
inline constexpr unsigned FSOUND_MONO = 0x0020;
inline constexpr unsigned FSOUND_STEREO = 0x0040;
inline constexpr unsigned FSOUND_UNSIGNED = 0x0080;
inline constexpr unsigned FSOUND_SIGNED = 0x0100;

// Effect types of FSOUND_FX_Enable; only the parametric equaliser exists here.
inline constexpr unsigned FSOUND_FX_PARAMEQ = 7;

// Outputs for FSOUND_SetOutput (before FSOUND_Init).
inline constexpr int FSOUND_OUTPUT_DEVICE = 0;              // the SDL2 audio device (default)
inline constexpr int FSOUND_OUTPUT_NOSOUND_NONREALTIME = 1; // no device: FSOUND_Offline_Render pulls the mix

// Engine.
bool FSOUND_SetOutput(int output);                              // fails (1) after FSOUND_Init
bool FSOUND_Init(int mixrate, int maxchannels, unsigned flags); // mixrate is always 44100 here; 3 when no device opens
void FSOUND_Close();                                            // stops everything, frees all samples
int FSOUND_GetError();                                          // code of the last failure

// Samples: a sample is an opened file, streamed while it plays.
// index: -1 or a slot number (ignored), name: UTF-8 path, mode: FSOUND_* flags, offset/length: ignored.
int FSOUND_Sample_Load(int index, const char *name, unsigned mode, int offset, int length);
void FSOUND_Sample_Free(int sample); // ends every channel playing it
// In the sample's frames; 0 for a bad handle. Never waits: the container's estimate until the
// exact count, made in the background, is done.
unsigned FSOUND_Sample_GetLength(int sample);
// The exact length, waiting for the count at most `milliseconds` (for tools and tests, never
// the window); the estimate when the count is not done by then.
unsigned FSOUND_Sample_WaitForLength(int sample, int milliseconds);

// Channels.
int FSOUND_PlaySound(int channel, int sample);   // channel -1: any free one; returns the channel handle
bool FSOUND_StopSound(int channel);              // -3: all
bool FSOUND_SetPaused(int channel, bool paused); // -3: all
bool FSOUND_GetPaused(int channel);
int FSOUND_IsPlaying(
    int channel); // 1 while the sound runs, paused included, or a queued one is to follow; 0 once ended
unsigned FSOUND_GetCurrentPosition(int channel); // frames actually played
bool FSOUND_SetCurrentPosition(int channel, unsigned position);
bool FSOUND_SetVolume(int channel, int volume); // -3: all channels and later ones; clamped to 0..255
int FSOUND_GetVolume(int channel);              // 0 or -3: the volume last set for all channels

// Gapless play. A sound queued on a channel follows the channel's sound without a gap: the mixer
// starts it in the same output block as the last frame of the sound before, on the same channel
// handle, with that channel's volume and equaliser. FSOUND_StopSound drops it with the channel.
//
// queueSample opens the file on the queued sound's own thread, so it returns at once, with the new
// sample's handle (0 for a bad channel or name). Queueing again replaces the queued sound. The
// handle is the caller's to free as any other; freeing it before the hand-over cancels it. A file
// that does not open leaves the queue (queuedSample says 0), and the channel ends as it would have.
int queueSample(int channel, const char *name);
int queuedSample(int channel);  // the sample still to follow on the channel, or 0
int playingSample(int channel); // the sample the channel plays now: the queued one after a hand-over
int sampleRate(int sample);     // the sample's frames per second; 0 while its file is still opening

// Spectrum: the FFT unit's handle, switching it, and 512 magnitudes (0..1) of the latest mix,
// lowest band first (band k is k * 44100 / 1024 Hz). The array stays valid until FSOUND_Close;
// it is refreshed by each call and all zero while the unit is off.
int FSOUND_DSP_GetFFTUnit();
bool FSOUND_DSP_SetActive(int unit, bool active);
bool FSOUND_DSP_GetActive(int unit);
float *FSOUND_DSP_GetSpectrum();

// Effects: FSOUND_FX_Enable returns an effect id (>= 1), or -1. A channel has at most one
// equaliser: enabling it again returns the id it has. The equaliser starts flat
// (centre 8000 Hz, 12 semitones, 0 dB). centre 80..16000 Hz, bandwidth 1..36 semitones,
// gain -15..15 dB; values outside are clamped.
int FSOUND_FX_Enable(int channel, unsigned fx);
bool FSOUND_FX_SetParamEQ(int fxid, float center, float bandwidth, float gain);

// Offline output: renders `frames` stereo frames (interleaved floats) of the mix into `out`,
// waiting for the decoders, so positions advance exactly with the frames pulled. Returns the
// frames rendered (0 unless the output is FSOUND_OUTPUT_NOSOUND_NONREALTIME).
int FSOUND_Offline_Render(float *out, int frames);

} // namespace corvanel::playback
