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
#include <utility>

namespace corvanel::app {

using namespace corvanel::library;
using namespace corvanel::platform;
using namespace corvanel::playback;

namespace {
constexpr unsigned kLoadMode = 0x130;
// How long before the end of a song continuous play opens the next one: enough for a slow
// device to open it and decode ahead of the joint.
constexpr int kPreOpenSeconds = 5;
// How often the player looks for the hand-over while one is due, so that the labels move with
// the first sound of the next song rather than up to a tick later.
constexpr int kHandOverWatchMs = 20;

// Songs the engine cannot decode, by what the library says of them: protected AAC bought
// from iTunes and Audible's books. Their files are not opened at all.
bool unsupportedByName(const QString &type, const QString &path)
{
    if (type.compare(QLatin1String("protected aac audio file"), Qt::CaseInsensitive) == 0)
        return true;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < path.lastIndexOf(QLatin1Char('\\')) || dot < path.lastIndexOf(QLatin1Char('/')))
        return false;
    const QString suffix = path.mid(dot + 1).toLower();
    return suffix == QLatin1String("m4p") || suffix == QLatin1String("aa") || suffix == QLatin1String("aax");
}

int32_t clampVolume(double volume)
{
    return static_cast<int32_t>(std::clamp(volume, 0.0, 255.0));
}

void processEventsTimes(int times)
{
    for (int i = 0; i < times; ++i)
        QCoreApplication::processEvents();
}

void engineFailure(const QString &what, int code)
{
    corvanel::platform::dialogs().message({QStringLiteral("Corvanel"), what + FModErrorText(code),
                                           corvanel::platform::MessageIcon::None,
                                           corvanel::platform::MessageButtons::Ok});
}
} // namespace

PlayerController::PlayerController(const MusicLibrary &library, const SongTableModel &songs, Hooks hooks,
                                   QObject *parent)
    : QObject(parent), m_library(library), m_songs(songs), m_hooks(std::move(hooks))
{
    m_equaliser.EQChannel = [this] { return CurrentChannel; };
    m_handOverWatch.setInterval(kHandOverWatchMs);
    m_handOverWatch.setTimerType(Qt::PreciseTimer);
    connect(&m_handOverWatch, &QTimer::timeout, this, [this] { takeHandOver(); });
    connect(&m_songs, &QAbstractItemModel::modelReset, this, &PlayerController::songListChanged);
    connect(&m_songs, &QAbstractItemModel::layoutChanged, this, &PlayerController::songListChanged);
    connect(&m_songs, &QAbstractItemModel::rowsRemoved, this, &PlayerController::songListChanged);
    connect(&m_songs, &QAbstractItemModel::rowsInserted, this, &PlayerController::songListChanged);
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
        engineFailure(QStringLiteral("An error occured initializing fmod!\r\n"), FSOUND_GetError());
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
    cancelPreOpen(false);
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
    if (unsupportedByName(m_songs.text(row, SongCatalog::ColType), m_songs.text(row, SongCatalog::ColPath))) {
        refuseUnsupported();
        return;
    }
    // A path the resolver refuses (it would leave the iPod) is an error of the start itself.
    const QString file = nativeSongPath(m_library.iPodDrive, m_songs.text(row, SongCatalog::ColPath));
    if (!file.isEmpty()) {
        PlayFile(file);
        if (m_refused) { // a song already playing goes on
            refuseUnsupported();
            return;
        }
    }
    showPlaying(true);
    QCoreApplication::processEvents();
    if (file.isEmpty()) {
        startFailed();
        return;
    }
    const NowPlaying song = rowTexts(row);
    NowPlayingLength = song.lengthMs.toInt();
    emit nowPlaying(song);
}

PlayerController::NowPlaying PlayerController::rowTexts(int row) const
{
    NowPlaying song;
    song.title = m_songs.text(row, SongCatalog::ColTitle);
    song.artist = m_songs.text(row, SongCatalog::ColArtist);
    song.album = m_songs.text(row, SongCatalog::ColAlbum);
    song.genre = m_songs.text(row, SongCatalog::ColGenre);
    song.lengthMs = m_songs.text(row, SongCatalog::ColLengthMs);
    song.songId = m_songs.text(row, SongCatalog::ColSongId);
    return song;
}

void PlayerController::refuseUnsupported()
{
    tellOrHandOver(QStringLiteral("AAC File Not Supported"),
                   QStringLiteral("This song is an AAC file which the embedded player is not capable of playing. "
                                  "Please try using the Default Player."));
}

void PlayerController::startFailed()
{
    tellOrHandOver(
        QStringLiteral("Error in playing file"),
        QStringLiteral(
            "Could not play the file using the inbuilt Media Player... Please try using the Default Player"));
    emit nowPlayingCleared();
}

void PlayerController::tellOrHandOver(const QString &title, const QString &text)
{
    if (m_hooks.forceUnsupported && m_hooks.forceUnsupported())
        emit externalRequested();
    else
        corvanel::platform::dialogs().inform(title, text);
}

void PlayerController::PlayFile(const QString &File)
{
    const WaitCursor wait;
    m_refused = false;
    cancelPreOpen(false);
    m_failedSong = -1;
    int32_t channel = CurrentChannel;
    if (!CurrentFile.isEmpty() && File == CurrentFile) {
        if (m_pauseShown)
            picPause_Click();
        FSOUND_SetPaused(CurrentChannel, false);
    } else {
        // Opened before the old song is freed: a song the engine cannot decode leaves the one
        // that plays alone.
        const QByteArray name = QFile::encodeName(File);
        const int32_t sample = FSOUND_Sample_Load(FSOUND_FREE, name.constData(), kLoadMode, 0, 0);
        const int error = FSOUND_GetError();
        if (sample == 0 && error == FMOD_ERR_MEDIAPLAYER) {
            m_refused = true;
            return;
        }
        if (m_pauseShown)
            picPause_Click();
        if (CurrentSample != 0)
            FSOUND_Sample_Free(CurrentSample);
        CurrentSample = 0;
        CurrentChannel = 0;
        CurrentFile.clear();
        if (sample == 0) {
            engineFailure(QStringLiteral("An error occured opening the sample!\r\n"), error);
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
        engineFailure(QStringLiteral("An error occured playing the sample!\r\n"), FSOUND_GetError());
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
    cancelPreOpen(true);
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
        cancelPreOpen(false);
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
    songListChanged();
    takeHandOver();
    const unsigned p = CurrentChannel ? FSOUND_GetCurrentPosition(CurrentChannel) : 0;
    const unsigned n = CurrentSample ? FSOUND_Sample_GetLength(CurrentSample) : 0;
    const bool playing = CurrentChannel != 0 && FSOUND_IsPlaying(CurrentChannel) == 1;
    if (playing && n > 0) {
        showPosition(p, n);
        preOpenWhenDue(p, n);
    } else if (Playing && !(m_hooks.boxOpen && m_hooks.boxOpen())) {
        // While a box waits for the user, continuous play waits too: no second box over the first.
        picNext_Click();
    }
}

void PlayerController::showPosition(unsigned position, unsigned length)
{
    const double fraction = length > 0 ? std::min(1.0, static_cast<double>(position) / length) : 0.0;
    emit positionChanged(fraction, ConvertToTime(static_cast<int32_t>(std::lround(fraction * NowPlayingLength))));
}

bool PlayerController::seekTo(double fraction)
{
    // After a failed load there is nothing to move.
    if (CurrentChannel == 0 || CurrentSample == 0)
        return false;
    cancelPreOpen(true);
    FSOUND_SetCurrentPosition(
        CurrentChannel,
        static_cast<unsigned>(std::lround(std::clamp(fraction, 0.0, 1.0) * FSOUND_Sample_GetLength(CurrentSample))));
    emit seeked(std::clamp(fraction, 0.0, 1.0));
    return true;
}

void PlayerController::preOpenWhenDue(unsigned position, unsigned length)
{
    if (!Playing || !m_pauseShown || m_next.sample != 0)
        return;
    const int rate = sampleRate(CurrentSample);
    if (rate <= 0 || int64_t(length) - int64_t(position) > int64_t(rate) * kPreOpenSeconds)
        return;
    const int row = m_hooks.selectedRow ? m_hooks.selectedRow() : -1;
    const int next = row + 1;
    if (row < 0 || next >= m_songs.rowCount() || m_songs.songAt(next) == m_failedSong)
        return;
    // A song that is refused, or whose path leaves the iPod, is left to the end of this one.
    const QString path = m_songs.text(next, SongCatalog::ColPath);
    if (unsupportedByName(m_songs.text(next, SongCatalog::ColType), path))
        return;
    const QString file = nativeSongPath(m_library.iPodDrive, path);
    if (file.isEmpty())
        return;
    const int32_t sample = queueSample(CurrentChannel, QFile::encodeName(file).constData());
    if (sample == 0)
        return;
    m_next = PreOpened{sample, next, m_songs.songAt(next), file, rowTexts(next)};
    m_handOverWatch.start();
}

bool PlayerController::preOpenedStillFollows() const
{
    const int row = m_hooks.selectedRow ? m_hooks.selectedRow() : -1;
    return row >= 0 && m_next.row == row + 1 && m_next.row < m_songs.rowCount() &&
           m_songs.songAt(m_next.row) == m_next.song;
}

void PlayerController::songListChanged()
{
    if (m_next.sample != 0 && !preOpenedStillFollows())
        cancelPreOpen(true);
}

bool PlayerController::takeHandOver()
{
    if (m_next.sample == 0 || CurrentChannel == 0)
        return false;
    if (playingSample(CurrentChannel) == m_next.sample) {
        adoptPreOpened(true);
        return true;
    }
    if (queuedSample(CurrentChannel) != m_next.sample) {
        // Its file did not open: when this song ends, the next row starts as ever and says why.
        m_failedSong = m_next.song;
        cancelPreOpen(false);
    }
    return false;
}

void PlayerController::adoptPreOpened(bool announce)
{
    m_handOverWatch.stop();
    const PreOpened next = std::exchange(m_next, PreOpened{});
    // The old song's channel is already gone; its sample goes now.
    FSOUND_Sample_Free(CurrentSample);
    CurrentSample = next.sample;
    CurrentFile = next.file;
    m_failedSong = -1;
    NowPlayingLength = next.texts.lengthMs.toInt();
    if (!announce)
        return;
    // A list sorted or filtered since may show the song elsewhere, or not at all.
    if (next.row < m_songs.rowCount() && m_songs.songAt(next.row) == next.song)
        emit rowRequested(next.row);
    emit nowPlaying(next.texts);
    showPosition(FSOUND_GetCurrentPosition(CurrentChannel), FSOUND_Sample_GetLength(CurrentSample));
}

void PlayerController::cancelPreOpen(bool announce)
{
    if (m_next.sample != 0 && CurrentChannel != 0 && playingSample(CurrentChannel) == m_next.sample) {
        adoptPreOpened(announce); // too late: it plays already
        return;
    }
    m_handOverWatch.stop();
    if (m_next.sample != 0)
        FSOUND_Sample_Free(m_next.sample);
    m_next = PreOpened{};
}

void PlayerController::setVolume(int32_t volume)
{
    m_volume = clampVolume(volume);
    FSOUND_SetVolume(FSOUND_ALL, m_volume);
}

} // namespace corvanel::app
