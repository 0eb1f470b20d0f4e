#pragma once
// What the simulator needs of the browser window: the entries of its four filter lists and
// the titles of its song rows, choosing an entry exactly as a click on it does, playing a song
// row exactly as a double click does, and hiding, showing or closing the window. The program
// implements it over its main window; the menus never see a widget.
#include <QImage>
#include <QString>
#include <QStringList>

namespace corvanel::simulator {

class BrowserLink
{
public:
    enum class List { Source, Genre, Artist, Album };
    // The song the player shows: its texts, how far it has played (0..1) and its cover (null
    // while it has none).
    struct NowPlaying
    {
        QString title, artist, album;
        double position = 0;
        QImage cover;
        bool playing = false; // false: nothing has started
        bool chosen = false;  // it is the song last given to playSong (not handed to another player)
    };

    virtual ~BrowserLink() = default;

    virtual QStringList entries(List list) const = 0;
    // The positions in the source list of the playlists of their own: every entry but the
    // whole library and the On-The-Go list, wherever they sit.
    virtual QList<int> playlistSources() const = 0;
    // Selects only entry Val of the list and runs the list's level, so that the lists below it
    // and the song rows are rebuilt before this returns.
    virtual void SelectOneVal(List list, int Val) = 0;
    virtual int songCount() const = 0;
    // The title column of a song row; rows count from 0.
    virtual QString songTitle(int row) const = 0;
    // Makes the row the selected one and runs the song list's double-click action.
    virtual void playSong(int row) = 0;
    virtual NowPlaying nowPlaying() const { return {}; }

    virtual void hideBrowser() = 0;
    virtual void showBrowser() = 0;
    virtual void closeBrowser() = 0;
};

} // namespace corvanel::simulator
