#pragma once
// The embedded player's rules, without widgets: the song that plays, continuous play, Next
// and Previous, the position and the volume over the sound engine. The player's controls
// forward to it and show what it emits.
#include "MusicLibrary.h"
#include "SongTableModel.h"
#include "mdlEQ.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace corvanel::app {

using namespace corvanel::library;
using namespace corvanel::playback;

class PlayerController : public QObject
{
    Q_OBJECT
public:
    // What the controller asks of its window.
    struct Hooks
    {
        std::function<int()> selectedRow;       // the song list's selected row, -1 for none
        std::function<bool()> forceUnsupported; // "Force Unsupported to External Player" is checked
        std::function<bool()> boxOpen;          // a box waits for the user
    };
    struct NowPlaying
    {
        QString title, artist, album, genre;
        QString lengthMs; // the song's length in milliseconds, as the song list holds it
        QString songId;   // the song's id, as the song list holds it
    };

    PlayerController(const MusicLibrary &library, const SongTableModel &songs, Hooks hooks, QObject *parent = nullptr);
    ~PlayerController() override;

    // Starts the engine; false (after telling the user) when no sound device opens.
    bool InitSoundEngine(const std::function<void(const QString &)> &status = {});
    void closeEngine();
    bool engineOpen() const { return m_engineOpen; }

    void OpenInEmbedded();
    void PlayFile(const QString &File);
    void picPlay_Click();
    void picPause_Click();
    void picNext_Click();
    void picPrev_Click();
    // The 200 ms tick: the volume and position, and the next song when one has ended.
    void tmrCheckfMod_Timer();
    // Moves the playing song to this part of its length (0..1); false when nothing is loaded.
    bool seekTo(double fraction);
    // The song list or its selection changed: a song opened ahead for a row that no longer
    // follows the selected one is dropped.
    void songListChanged();
    // The sample opened ahead for the row after the selected one, to follow without a gap; 0 for none.
    int32_t preOpenedSample() const { return m_next.sample; }

    int32_t volume() const { return m_volume; }
    void setVolume(int32_t volume);

    // The equaliser follows the playing channel.
    Equaliser &equaliser() { return m_equaliser; }

    // A song is loaded and has not ended (paused counts as loaded).
    bool songLoaded() const;
    // How far the song has played, scaled to its length in the database as the elapsed label is.
    qint64 positionMs() const;

    QString CurrentFile;
    int32_t CurrentSample = 0;
    int32_t CurrentChannel = 0;
    bool Playing = false; // continuous play
    // How far the spectrum display shakes the window (0: not at all); from the command line
    // ("screenjump") or the search box.
    int16_t ScreenJump = 0;
    int32_t NowPlayingLength = 0;

signals:
    // Pause shows instead of Play (and the tray's items follow).
    void playingShown(bool playing);
    void nowPlaying(const PlayerController::NowPlaying &song);
    // The start failed: the now-playing texts are emptied.
    void nowPlayingCleared();
    void positionChanged(double fraction, const QString &elapsed);
    void volumeChanged(int32_t volume);
    // The song list should select this row (Next, Previous).
    void rowRequested(int row);
    // The selected song goes to the external player.
    void externalRequested();
    // All sound stopped at an end of the list; continuous play is off.
    void stopped();
    // The song was moved to this part of its length.
    void seeked(double fraction);

private:
    // The next row's song, opened ahead while continuous play nears the end of the current one.
    struct PreOpened
    {
        int32_t sample = 0;
        int row = -1;
        int32_t song = -1; // the library index the row showed when it was opened
        QString file;
        NowPlaying texts;
    };

    void showPlaying(bool playing);
    void startFailed();
    void refuseUnsupported();
    // "Force Unsupported to External Player" hands the song over; otherwise the user is told.
    void tellOrHandOver(const QString &title, const QString &text);
    void moveAndPlay(int step);
    NowPlaying rowTexts(int row) const;
    void showPosition(unsigned position, unsigned length);
    void preOpenWhenDue(unsigned position, unsigned length);
    bool preOpenedStillFollows() const;
    // Takes the song opened ahead as the current one once the engine plays it; false before.
    bool takeHandOver();
    void adoptPreOpened(bool announce);
    // Drops the song opened ahead; one that already plays becomes the current song instead.
    void cancelPreOpen(bool announce);

    const MusicLibrary &m_library;
    const SongTableModel &m_songs;
    Hooks m_hooks;
    Equaliser m_equaliser;
    bool m_engineOpen = false;
    bool m_pauseShown = false;
    bool m_refused = false; // PlayFile found a song the engine cannot decode
    int32_t m_volume = 200;
    PreOpened m_next;
    int32_t m_failedSong = -1; // opened ahead without success: its start reports it, not tried again
    QTimer m_handOverWatch;    // looks for the hand-over often while one is due
};

} // namespace corvanel::app

Q_DECLARE_METATYPE(corvanel::app::PlayerController::NowPlaying)
