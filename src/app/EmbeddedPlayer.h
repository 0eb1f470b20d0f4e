#pragma once
// The embedded player of the main window: the transport, the position and volume bars,
// the time labels and the spectrum analyser, over the sound engine.
#include "PlayerController.h"

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

class QGridLayout;
class QLabel;
class QTimer;
namespace corvanel::playback {
class AnalyserView;
}

namespace corvanel::app {

using namespace corvanel::playback;

class frmMain;
class NowPlayingCover;

// A bar that shows a value by the size of its filled part (the "shape").
class MeterBar : public QWidget
{
    Q_OBJECT
public:
    MeterBar(const QString &name, Qt::Orientation orientation, QWidget *parent = nullptr);

    int scaleWidth() const { return width(); }
    int scaleHeight() const { return height(); }
    // The filled part: its width for a horizontal bar; its top and height for a vertical one.
    int shapeWidth() const { return m_shapeWidth; }
    void setShapeWidth(int width);
    int shapeTop() const { return m_shapeTop; }
    int shapeHeight() const { return m_shapeHeight; }
    void setShapeTopHeight(int top, int height);
    QString tag;

signals:
    void pressed(Qt::MouseButton button, QPoint at);
    void dragged(Qt::MouseButtons buttons, QPoint at);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    Qt::Orientation m_orientation;
    int m_shapeWidth = 0;
    int m_shapeTop = 0;
    int m_shapeHeight = 0;
};

// The play, pause, previous and next buttons.
class TransportButton : public QWidget
{
    Q_OBJECT
public:
    enum class Glyph { Play, Pause, Previous, Next };
    TransportButton(const QString &name, Glyph glyph, QWidget *parent = nullptr);
    QSize sizeHint() const override { return {34, 34}; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    Glyph m_glyph;
    bool m_hover = false;
};

// The sentence for an engine error code.
QString FModErrorText(int32_t code);
// The analyser's colour from its stored text: a Windows colour value (red in the lowest byte);
// anything that is not one gives the default blue.
uint32_t spectrumColorFromText(const QString &text);
uint32_t storedSpectrumColor();
// The remaining time from the length and elapsed captions ("m:ss"), borrowing a minute when
// the elapsed seconds exceed the length's: "-2:05". Empty when either is empty.
QString remainingText(const QString &length, const QString &elapsed);

class EmbeddedPlayer : public QWidget
{
    Q_OBJECT
public:
    explicit EmbeddedPlayer(frmMain &main, QWidget *parent = nullptr);
    ~EmbeddedPlayer() override;

    // Starts the engine; false (after telling the user) when no sound device opens.
    bool InitSoundEngine(const std::function<void(const QString &)> &status = {});
    void closeEngine();

    void OpenInEmbedded();
    void PlayFile(const QString &File);
    void picPlay_Click();
    void picPause_Click();
    void picNext_Click();
    void picPrev_Click();
    void tmrCheckfMod_Timer();
    void ShowRemaining();
    void PicPosition_MouseDown(int x);
    void picVolume_MouseDown(int x);
    void picSpecVolume_MouseDown(int y);
    void mnuSpectrum_Click();
    void tmrSpectrum_Timer();
    void PicSpectrum_MouseUp(Qt::MouseButton Button);

    // The volume of all channels, as the volume display holds it.
    int32_t volume() const;
    void setVolume(int32_t volume);
    void setSpectrumColor(uint32_t value);

    // The player's rules and state (the song, continuous play, the engine's handles).
    PlayerController &controller() { return *m_controller; }
    // The id of the song the panel shows; none before the first song and after a failed start.
    std::optional<double> nowPlayingSongId() const;

    TransportButton *picPlay = nullptr;
    TransportButton *picPause = nullptr;
    TransportButton *picPrev = nullptr;
    TransportButton *picNext = nullptr;
    MeterBar *PicPosition = nullptr;
    MeterBar *picVolume = nullptr;
    MeterBar *picSpecVolume = nullptr;
    AnalyserView *PicSpectrum = nullptr;
    QLabel *lblVolume = nullptr;
    QLabel *lblElapsed = nullptr;
    QLabel *lblRemaining = nullptr;
    QTimer *tmrCheckfMod = nullptr;
    QTimer *tmrSpectrum = nullptr;

private:
    void buildTransport(QGridLayout *grid);
    void buildPosition(QGridLayout *grid);
    void buildVolume(QGridLayout *grid);
    void buildSpectrum(QGridLayout *grid);
    void connectControls();
    void connectController();
    void showPlaying(bool playing);
    void showNowPlaying(const PlayerController::NowPlaying &song);
    void showPosition(double fraction, const QString &elapsed);
    void showVolume(int32_t volume);
    void jumpWindow(float rise);

    frmMain &m_main;
    PlayerController *m_controller = nullptr;
    NowPlayingCover *m_cover = nullptr;
};

} // namespace corvanel::app
