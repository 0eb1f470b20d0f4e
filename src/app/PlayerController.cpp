#include "PlayerController.h"

#include "Dialogs.h"
#include "EmbeddedPlayer.h"
#include "FSound.h"
#include "NativePath.h"
#include "SongCatalog.h"
#include "TimeText.h"
#include "WaitCursor.h"
#include "mdlEQ.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <cmath>

namespace corvanel::app {

using namespace corvanel::library;
using namespace corvanel::platform;
using namespace corvanel::playback;

namespace {
constexpr unsigned kLoadMode = 0x130;

int32_t clampVolume(double volume)
{
    return static_cast<int32_t>(std::clamp(volume, 0.0, 255.0));
}

void processEventsTimes(int times)
{
    for (int i = 0; i < times; ++i)
        QCoreApplication::processEvents();
}

void engineFailure(const QString &what)
{
    corvanel::platform::dialogs().message({QStringLiteral("Corvanel"), what + FModErrorText(FSOUND_GetError()),
                                           corvanel::platform::MessageIcon::None,
                                           corvanel::platform::MessageButtons::Ok});
}
} // namespace

PlayerController::PlayerController(const MusicLibrary &library, const SongTableModel &songs, Hooks hooks,
                                   QObject *parent)
    : QObject(parent), m_library(library), m_songs(songs), m_hooks(std::move(hooks))
{
    m_equaliser.EQChannel = [this] { return CurrentChannel; };
}

PlayerController::~PlayerController()
{
    closeEngine();
}

bool PlayerController::InitSoundEngine(const std::function<void(const QString &)> &status)
{
    if (status)
        status(QStringLiteral("Initializing fMod for embedded playing..."));
    if (!FSOUND_Init(44100, 32, 0)) {
        engineFailure(QStringLiteral("An error occured initializing fmod!\r\n"));
        return false;
    }
    m_engineOpen = true;
    FSOUND_SetVolume(FSOUND_ALL, m_volume);
    return true;
}

void PlayerController::closeEngine()
{
    if (!m_engineOpen)
        return;
    m_engineOpen = false;
    Playing = false;
    FSOUND_StopSound(FSOUND_ALL);
    processEventsTimes(4);
    FSOUND_Close();
    processEventsTimes(4);
    CurrentSample = 0;
    CurrentChannel = 0;
    CurrentFile.clear();
}

void PlayerController::showPlaying(bool playing)
{
    m_pauseShown = playing;
    emit playingShown(playing);
}

bool PlayerController::songLoaded() const
{
    return CurrentChannel != 0 && FSOUND_IsPlaying(CurrentChannel) == 1;
}

qint64 PlayerController::positionMs() const
{
    const unsigned length = CurrentSample ? FSOUND_Sample_GetLength(CurrentSample) : 0;
    if (!songLoaded() || length == 0)
        return 0;
    const double fraction = std::min(1.0, static_cast<double>(FSOUND_GetCurrentPosition(CurrentChannel)) / length);
    return std::llround(fraction * NowPlayingLength);
}

void PlayerController::OpenInEmbedded()
{
    const WaitCursor wait;
    const int row = m_hooks.selectedRow ? m_hooks.selectedRow() : -1;
    if (row < 0)
        return;
    if (m_songs.text(row, SongCatalog::ColType).toLower() == QLatin1String("aac audio file")) {
        if (m_hooks.forceUnsupported && m_hooks.forceUnsupported())
            emit externalRequested();
        else
            corvanel::platform::dialogs().inform(
                QStringLiteral("AAC File Not Supported"),
                QStringLiteral("This song is an AAC file which the embedded player is not "
                               "capable of playing. Please try using the Default Player."));
        return;
    }
    // A path the resolver refuses (it would leave the iPod) is an error of the start itself.
    const QString file = nativeSongPath(m_library.iPodDrive, m_songs.text(row, SongCatalog::ColPath));
    if (!file.isEmpty())
        PlayFile(file);
    showPlaying(true);
    QCoreApplication::processEvents();
    if (file.isEmpty()) {
        startFailed();
        return;
    }
    NowPlaying song;
    song.title = m_songs.text(row, SongCatalog::ColTitle);
    song.artist = m_songs.text(row, SongCatalog::ColArtist);
    song.album = m_songs.text(row, SongCatalog::ColAlbum);
    song.genre = m_songs.text(row, SongCatalog::ColGenre);
    song.lengthMs = m_songs.text(row, SongCatalog::ColLengthMs);
    song.songId = m_songs.text(row, SongCatalog::ColSongId);
    NowPlayingLength = song.lengthMs.toInt();
    emit nowPlaying(song);
}

void PlayerController::startFailed()
{
    if (m_hooks.forceUnsupported && m_hooks.forceUnsupported())
        emit externalRequested();
    else
        corvanel::platform::dialogs().inform(
            QStringLiteral("Error in playing file"),
            QStringLiteral(
                "Could not play the file using the inbuilt Media Player... Please try using the Default Player"));
    emit nowPlayingCleared();
}

void PlayerController::PlayFile(const QString &File)
{
    const WaitCursor wait;
    if (m_pauseShown)
        picPause_Click();
    int32_t channel = CurrentChannel;
    if (!CurrentFile.isEmpty() && File == CurrentFile) {
        FSOUND_SetPaused(CurrentChannel, false);
    } else {
        FSOUND_Sample_Free(CurrentSample);
        CurrentSample = 0;
        CurrentChannel = 0;
        CurrentFile.clear();
        const QByteArray name = QFile::encodeName(File);
        const int32_t sample = FSOUND_Sample_Load(FSOUND_FREE, name.constData(), kLoadMode, 0, 0);
        if (sample == 0) {
            engineFailure(QStringLiteral("An error occured opening the sample!\r\n"));
            Playing = false;
            return;
        }
        channel = FSOUND_PlaySound(FSOUND_FREE, sample);
        FSOUND_SetVolume(FSOUND_ALL, m_volume);
        CurrentSample = sample;
        CurrentFile = File;
    }
    CurrentChannel = channel;
    if (channel == 0) {
        engineFailure(QStringLiteral("An error occured playing the sample!\r\n"));
        return;
    }
    m_equaliser.applyEQToChannel(channel);
}

void PlayerController::picPlay_Click()
{
    Playing = true;
    OpenInEmbedded();
}

void PlayerController::picPause_Click()
{
    FSOUND_SetPaused(CurrentChannel, true);
    showPlaying(false);
}

void PlayerController::picNext_Click()
{
    moveAndPlay(+1);
}

void PlayerController::picPrev_Click()
{
    moveAndPlay(-1);
}

void PlayerController::moveAndPlay(int step)
{
    // The list's current order; no wrapping: past an end all sound stops and the selection stays.
    const int count = m_songs.rowCount();
    const int row = m_hooks.selectedRow ? m_hooks.selectedRow() : -1;
    if (count == 0)
        return;
    if (row < 0) {
        emit rowRequested(0);
    } else if (row + step < 0 || row + step >= count) {
        FSOUND_StopSound(FSOUND_ALL);
        Playing = false;
        emit stopped();
        return;
    } else {
        emit rowRequested(row + step);
    }
    OpenInEmbedded();
}

void PlayerController::tmrCheckfMod_Timer()
{
    m_volume = clampVolume(FSOUND_GetVolume(0));
    emit volumeChanged(m_volume);
    const unsigned p = CurrentChannel ? FSOUND_GetCurrentPosition(CurrentChannel) : 0;
    const unsigned n = CurrentSample ? FSOUND_Sample_GetLength(CurrentSample) : 0;
    const bool playing = CurrentChannel != 0 && FSOUND_IsPlaying(CurrentChannel) == 1;
    if (playing && n > 0) {
        const double fraction = static_cast<double>(p) / n;
        emit positionChanged(fraction, ConvertToTime(static_cast<int32_t>(std::lround(fraction * NowPlayingLength))));
    } else if (Playing && !(m_hooks.boxOpen && m_hooks.boxOpen())) {
        // While a box waits for the user, continuous play waits too: no second box over the first.
        picNext_Click();
    }
}

bool PlayerController::seekTo(double fraction)
{
    // After a failed load there is nothing to move.
    if (CurrentChannel == 0 || CurrentSample == 0)
        return false;
    FSOUND_SetCurrentPosition(
        CurrentChannel,
        static_cast<unsigned>(std::lround(std::clamp(fraction, 0.0, 1.0) * FSOUND_Sample_GetLength(CurrentSample))));
    emit seeked(std::clamp(fraction, 0.0, 1.0));
    return true;
}

void PlayerController::setVolume(int32_t volume)
{
    m_volume = clampVolume(volume);
    FSOUND_SetVolume(FSOUND_ALL, m_volume);
}

} // namespace corvanel::app
