#include "EmbeddedPlayer.h"
#include "NowPlayingCover.h"

#include "AnalyserView.h"
#include "Dialogs.h"
#include "FSound.h"
#include "NumberText.h"
#include "SettingsStore.h"
#include "TimeText.h"
#include "frmMain.h"
#include "frmMenus.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cmath>

namespace corvanel::app {

using namespace corvanel::platform;
using namespace corvanel::playback;

namespace {
int32_t clampVolume(double volume)
{
    return static_cast<int32_t>(std::clamp(volume, 0.0, 255.0));
}
} // namespace

QString FModErrorText(int32_t code)
{
    static const char *const texts[] = {
        "No errors",
        "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
        "This command failed because FSOUND_Init was not called",
        "Error initializing output device.",
        "The output device is already in use and cannot be reused.",
        "Playing the sound failed.",
        "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
        "Error setting cooperative level for hardware.",
        "Error creating hardware sound buffer.",
        "File not found",
        "Unknown file format",
        "Error loading file",
        "Not enough memory ",
        "The version number of this file format is not supported",
        "An invalid parameter was passed to this function",
        "Tried to use an EAX command on a non EAX enabled channel or output.",
        "Failed to allocate a new channel",
        "Recording is not supported on this machine",
        "Required Mediaplayer codec is not installed",
        "An error occured trying to open the specified CD device",
    };
    if (code < 0 || code >= static_cast<int32_t>(std::size(texts)))
        return QStringLiteral("Unknown error");
    return QString::fromLatin1(texts[code]);
}

uint32_t spectrumColorFromText(const QString &text)
{
    constexpr uint32_t kDefault = 16711680;
    const auto value = corvanel::platform::toNumber(text);
    // A hand-edited value that is no colour (negative, past 24 bits, fractional, text) is ignored.
    if (!value || !(*value >= 0.0 && *value <= 16777215.0) || *value != std::floor(*value))
        return kDefault;
    return static_cast<uint32_t>(*value);
}

uint32_t storedSpectrumColor()
{
    return spectrumColorFromText(corvanel::platform::getSetting(
        QStringLiteral("Options"), QStringLiteral("SpectrumColor"), QStringLiteral("16711680")));
}

QString remainingText(const QString &length, const QString &elapsed)
{
    if (length.isEmpty() || elapsed.isEmpty())
        return QString();
    auto split = [](const QString &text, int &minutes, int &seconds) {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        minutes = static_cast<int>(corvanel::platform::leadingInteger(QStringView(text).left(colon)));
        seconds =
            colon < 0 ? 0 : static_cast<int>(corvanel::platform::leadingInteger(QStringView(text).mid(colon + 1)));
    };
    int tm = 0, ts = 0, em = 0, es = 0;
    split(length, tm, ts);
    split(elapsed, em, es);
    int minutes = tm - em;
    int seconds = ts - es;
    if (ts < es) {
        seconds = ts - es + 60;
        minutes = tm - 1 - em;
    }
    return QLatin1Char('-') + QString::number(minutes) + QLatin1Char(':') + TwoDigits(seconds);
}

MeterBar::MeterBar(const QString &name, Qt::Orientation orientation, QWidget *parent)
    : QWidget(parent), m_orientation(orientation)
{
    setObjectName(name);
    setCursor(Qt::PointingHandCursor);
}

void MeterBar::setShapeWidth(int width)
{
    m_shapeWidth = width;
    update();
}

void MeterBar::setShapeTopHeight(int top, int height)
{
    m_shapeTop = top;
    m_shapeHeight = height;
    update();
}

void MeterBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(8, 11, 15, 220));
    painter.drawRoundedRect(QRectF(rect()), 3, 3);
    QLinearGradient fill(0, 0, m_orientation == Qt::Horizontal ? 0 : width(),
                         m_orientation == Qt::Horizontal ? height() : 0);
    fill.setColorAt(0, QColor(0xf4, 0xa2, 0x4a));
    fill.setColorAt(1, QColor(0xc8, 0x6a, 0x18));
    painter.setBrush(fill);
    if (m_orientation == Qt::Horizontal)
        painter.drawRoundedRect(QRectF(0, 0, std::clamp(m_shapeWidth, 0, width()), height()), 3, 3);
    else
        painter.drawRoundedRect(
            QRectF(0, std::clamp(m_shapeTop, 0, height()), width(), std::clamp(m_shapeHeight, 0, height())), 3, 3);
}

void MeterBar::mousePressEvent(QMouseEvent *event)
{
    emit pressed(event->button(), event->position().toPoint());
}

void MeterBar::mouseMoveEvent(QMouseEvent *event)
{
    emit dragged(event->buttons(), event->position().toPoint());
}

TransportButton::TransportButton(const QString &name, Glyph glyph, QWidget *parent) : QWidget(parent), m_glyph(glyph)
{
    setObjectName(name);
    setFixedSize(34, 34);
    setCursor(Qt::PointingHandCursor);
}

void TransportButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool main = m_glyph == Glyph::Play || m_glyph == Glyph::Pause;
    QLinearGradient face(0, 0, 0, height());
    face.setColorAt(0,
                    m_hover ? QColor(0xf4, 0xa2, 0x4a) : (main ? QColor(0x5a, 0x66, 0x75) : QColor(0x48, 0x52, 0x5f)));
    face.setColorAt(1, m_hover ? QColor(0xc8, 0x6a, 0x18) : QColor(0x2a, 0x31, 0x3b));
    painter.setPen(QPen(QColor(0x14, 0x18, 0x1e), 1));
    painter.setBrush(face);
    painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xf4, 0xf6, 0xf9));
    const QPointF c = QRectF(rect()).center();
    QPainterPath path;
    switch (m_glyph) {
    case Glyph::Play:
        path.moveTo(c + QPointF(-4, -7));
        path.lineTo(c + QPointF(7, 0));
        path.lineTo(c + QPointF(-4, 7));
        break;
    case Glyph::Pause:
        path.addRoundedRect(QRectF(c.x() - 6, c.y() - 7, 4, 14), 1, 1);
        path.addRoundedRect(QRectF(c.x() + 2, c.y() - 7, 4, 14), 1, 1);
        break;
    case Glyph::Previous:
        path.addRect(QRectF(c.x() - 7, c.y() - 6, 2, 12));
        path.moveTo(c + QPointF(-5, 0));
        path.lineTo(c + QPointF(1, -6));
        path.lineTo(c + QPointF(1, 6));
        path.moveTo(c + QPointF(1, 0));
        path.lineTo(c + QPointF(7, -6));
        path.lineTo(c + QPointF(7, 6));
        break;
    case Glyph::Next:
        path.addRect(QRectF(c.x() + 5, c.y() - 6, 2, 12));
        path.moveTo(c + QPointF(5, 0));
        path.lineTo(c + QPointF(-1, -6));
        path.lineTo(c + QPointF(-1, 6));
        path.moveTo(c + QPointF(-1, 0));
        path.lineTo(c + QPointF(-7, -6));
        path.lineTo(c + QPointF(-7, 6));
        break;
    }
    painter.drawPath(path);
}

void TransportButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void TransportButton::enterEvent(QEnterEvent *)
{
    m_hover = true;
    update();
}

void TransportButton::leaveEvent(QEvent *)
{
    m_hover = false;
    update();
}

EmbeddedPlayer::EmbeddedPlayer(frmMain &main, QWidget *parent) : QWidget(parent), m_main(main)
{
    setObjectName(QStringLiteral("EmbeddedPlayer"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    buildTransport(grid);
    buildPosition(grid);
    buildVolume(grid);
    buildSpectrum(grid);
    grid->setColumnStretch(2, 1);
    tmrCheckfMod = new QTimer(this);
    tmrCheckfMod->setInterval(200);
    tmrSpectrum = new QTimer(this);
    tmrSpectrum->setInterval(10);

    connectControls();
    connectController();
}

void EmbeddedPlayer::buildTransport(QGridLayout *grid)
{
    auto *transport = new QHBoxLayout;
    transport->setSpacing(4);
    picPrev = new TransportButton(QStringLiteral("picPrev"), TransportButton::Glyph::Previous, this);
    picPlay = new TransportButton(QStringLiteral("picPlay"), TransportButton::Glyph::Play, this);
    picPause = new TransportButton(QStringLiteral("picPause"), TransportButton::Glyph::Pause, this);
    picNext = new TransportButton(QStringLiteral("picNext"), TransportButton::Glyph::Next, this);
    picPause->hide();
    transport->addWidget(picPrev);
    transport->addWidget(picPlay);
    transport->addWidget(picPause);
    transport->addWidget(picNext);
    grid->addLayout(transport, 0, 0, 2, 1);
}

void EmbeddedPlayer::buildPosition(QGridLayout *grid)
{
    PicPosition = new MeterBar(QStringLiteral("PicPosition"), Qt::Horizontal, this);
    PicPosition->setFixedHeight(8);
    grid->addWidget(PicPosition, 0, 1, 1, 3, Qt::AlignVCenter);
    lblElapsed = new QLabel(this);
    lblElapsed->setObjectName(QStringLiteral("lblElapsed"));
    lblRemaining = new QLabel(this);
    lblRemaining->setObjectName(QStringLiteral("lblRemaining"));
    lblRemaining->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(lblElapsed, 1, 1);
    grid->addWidget(lblRemaining, 1, 3);
}

void EmbeddedPlayer::buildVolume(QGridLayout *grid)
{
    lblVolume = new QLabel(QStringLiteral("Volume:"), this);
    lblVolume->setObjectName(QStringLiteral("lblVolume"));
    picVolume = new MeterBar(QStringLiteral("picVolume"), Qt::Horizontal, this);
    picVolume->setFixedSize(100, 10);
    picVolume->tag = QStringLiteral("200");
    auto *volumeRow = new QHBoxLayout;
    volumeRow->addWidget(lblVolume);
    volumeRow->addWidget(picVolume);
    grid->addLayout(volumeRow, 0, 4, 2, 1, Qt::AlignVCenter);
}

void EmbeddedPlayer::buildSpectrum(QGridLayout *grid)
{
    PicSpectrum = new AnalyserView(this);
    PicSpectrum->setFixedSize(269, 56);
    PicSpectrum->hide();
    picSpecVolume = new MeterBar(QStringLiteral("picSpecVolume"), Qt::Vertical, this);
    picSpecVolume->setFixedSize(8, 56);
    picSpecVolume->hide();
    auto *spectrumRow = new QHBoxLayout;
    spectrumRow->setSpacing(4);
    spectrumRow->addWidget(PicSpectrum);
    spectrumRow->addWidget(picSpecVolume);
    grid->addLayout(spectrumRow, 0, 5, 2, 1);
}

void EmbeddedPlayer::connectControls()
{
    connect(picPlay, &TransportButton::clicked, this, &EmbeddedPlayer::picPlay_Click);
    connect(picPause, &TransportButton::clicked, this, &EmbeddedPlayer::picPause_Click);
    connect(picNext, &TransportButton::clicked, this, &EmbeddedPlayer::picNext_Click);
    connect(picPrev, &TransportButton::clicked, this, &EmbeddedPlayer::picPrev_Click);
    connect(tmrCheckfMod, &QTimer::timeout, this, &EmbeddedPlayer::tmrCheckfMod_Timer);
    connect(tmrSpectrum, &QTimer::timeout, this, &EmbeddedPlayer::tmrSpectrum_Timer);
    connect(PicPosition, &MeterBar::pressed, this,
            [this](Qt::MouseButton, QPoint at) { PicPosition_MouseDown(at.x()); });
    connect(PicPosition, &MeterBar::dragged, this, [this](Qt::MouseButtons buttons, QPoint at) {
        if ((buttons & Qt::LeftButton) && at.x() >= 0 && at.x() <= PicPosition->width())
            PicPosition_MouseDown(at.x());
    });
    connect(picVolume, &MeterBar::pressed, this, [this](Qt::MouseButton, QPoint at) { picVolume_MouseDown(at.x()); });
    connect(picVolume, &MeterBar::dragged, this, [this](Qt::MouseButtons buttons, QPoint at) {
        if ((buttons & Qt::LeftButton) && at.x() > 0 && at.x() < picVolume->scaleWidth())
            picVolume_MouseDown(at.x());
    });
    connect(picSpecVolume, &MeterBar::pressed, this,
            [this](Qt::MouseButton, QPoint at) { picSpecVolume_MouseDown(at.y()); });
    connect(picSpecVolume, &MeterBar::dragged, this, [this](Qt::MouseButtons buttons, QPoint at) {
        if ((buttons & Qt::LeftButton) && at.x() > 0 && at.x() < picSpecVolume->scaleWidth())
            picSpecVolume_MouseDown(at.y());
    });
    connect(PicSpectrum, &AnalyserView::colorRequested, this, [this] { PicSpectrum_MouseUp(Qt::RightButton); });
}

EmbeddedPlayer::~EmbeddedPlayer()
{
    closeEngine();
}

void EmbeddedPlayer::connectController()
{
    PlayerController::Hooks hooks;
    hooks.selectedRow = [this] { return m_main.selectedSongRow(); };
    hooks.forceUnsupported = [this] { return m_main.menus().item(QStringLiteral("mnuUnsupportedFiles"))->isChecked(); };
    hooks.boxOpen = [] { return QApplication::activeModalWidget() != nullptr; };
    m_controller = new PlayerController(m_main.library(), m_main.songModel(), std::move(hooks), this);
    connect(m_controller, &PlayerController::playingShown, this, &EmbeddedPlayer::showPlaying);
    connect(m_controller, &PlayerController::nowPlaying, this, &EmbeddedPlayer::showNowPlaying);
    m_cover = new NowPlayingCover(m_main.library(), *m_main.picCover, this);
    connect(m_controller, &PlayerController::nowPlayingCleared, this, [this] {
        for (QLabel *label : {m_main.lblTitle, m_main.lblArtist, m_main.lblAlbum, m_main.lblGenre})
            label->clear();
        m_cover->clear();
    });
    connect(m_controller, &PlayerController::positionChanged, this, &EmbeddedPlayer::showPosition);
    connect(m_controller, &PlayerController::volumeChanged, this, &EmbeddedPlayer::showVolume);
    connect(m_controller, &PlayerController::rowRequested, this, [this](int row) { m_main.selectSongRow(row); });
    connect(m_controller, &PlayerController::externalRequested, this, [this] { m_main.handOverToExternalPlayer(); });
    // Continuous play goes on from the selected row: a song opened ahead must still follow it.
    connect(m_main.lstSong->selectionModel(), &QItemSelectionModel::selectionChanged, m_controller,
            &PlayerController::songListChanged);
}

bool EmbeddedPlayer::InitSoundEngine(const std::function<void(const QString &)> &status)
{
    m_controller->setVolume(volume());
    if (!m_controller->InitSoundEngine(status))
        return false;
    tmrCheckfMod->start();
    return true;
}

void EmbeddedPlayer::closeEngine()
{
    tmrCheckfMod->stop();
    tmrSpectrum->stop();
    if (m_controller)
        m_controller->closeEngine();
}

void EmbeddedPlayer::showPlaying(bool playing)
{
    picPlay->setVisible(!playing);
    picPause->setVisible(playing);
    m_main.menus().item(QStringLiteral("mnuPause"))->setEnabled(playing);
    m_main.menus().item(QStringLiteral("mnuPlay"))->setEnabled(!playing);
}

void EmbeddedPlayer::showNowPlaying(const PlayerController::NowPlaying &song)
{
    m_main.setNowPlayingLength(song.lengthMs);
    m_main.lblTitle->setText(song.title);
    m_main.lblArtist->setText(song.artist);
    m_main.lblAlbum->setText(song.album);
    m_main.menus().item(QStringLiteral("mnuNow"))->setText(song.artist + QStringLiteral(" - ") + song.title);
    m_main.lblGenre->setText(song.genre);
    m_main.lblTime->setText(QStringLiteral("Length: ") + ConvertToTime(song.lengthMs.toInt()));
    m_main.showNowPlaying(true);
    m_cover->show(song.songId);
}

std::optional<double> EmbeddedPlayer::nowPlayingSongId() const
{
    return m_cover->songId();
}

void EmbeddedPlayer::OpenInEmbedded()
{
    m_controller->OpenInEmbedded();
}

void EmbeddedPlayer::PlayFile(const QString &File)
{
    m_controller->PlayFile(File);
}

void EmbeddedPlayer::picPlay_Click()
{
    m_controller->picPlay_Click();
}

void EmbeddedPlayer::picPause_Click()
{
    m_controller->picPause_Click();
}

void EmbeddedPlayer::picNext_Click()
{
    m_controller->picNext_Click();
}

void EmbeddedPlayer::picPrev_Click()
{
    m_controller->picPrev_Click();
}

void EmbeddedPlayer::tmrCheckfMod_Timer()
{
    m_controller->tmrCheckfMod_Timer();
}

void EmbeddedPlayer::showVolume(int32_t v)
{
    picVolume->setShapeWidth(static_cast<int>(v / 255.0 * picVolume->scaleWidth() + 1));
    picVolume->tag = QString::number(v);
    const int height = static_cast<int>(v / 255.0 * picSpecVolume->scaleHeight());
    picSpecVolume->setShapeTopHeight(picSpecVolume->scaleHeight() - height + 1, height);
}

void EmbeddedPlayer::showPosition(double fraction, const QString &elapsed)
{
    PicPosition->setShapeWidth(static_cast<int>(fraction * PicPosition->scaleWidth()));
    lblElapsed->setText(elapsed);
    ShowRemaining();
}

void EmbeddedPlayer::ShowRemaining()
{
    QString length = m_main.lblTime->text();
    length.remove(QStringLiteral("Length: "));
    lblRemaining->setText(remainingText(length, lblElapsed->text()));
}

void EmbeddedPlayer::PicPosition_MouseDown(int x)
{
    // After a failed load there is nothing to move.
    if (m_controller->CurrentChannel == 0 || m_controller->CurrentSample == 0)
        return;
    PicPosition->setShapeWidth(x);
    m_controller->seekTo(PicPosition->scaleWidth() > 0 ? static_cast<double>(x) / PicPosition->scaleWidth() : 0);
}

void EmbeddedPlayer::picVolume_MouseDown(int x)
{
    picVolume->setShapeWidth(x + 1);
    const int32_t v = clampVolume(std::floor(static_cast<double>(x + 1) / picVolume->scaleWidth() * 255));
    picVolume->tag = QString::number(v);
    m_controller->setVolume(v);
}

void EmbeddedPlayer::picSpecVolume_MouseDown(int y)
{
    const int scale = picSpecVolume->scaleHeight();
    int top = y;
    if (top > scale)
        top = scale - 1;
    const int height = scale - top + 1;
    picSpecVolume->setShapeTopHeight(top, height);
    const int32_t v = clampVolume(std::floor(static_cast<double>(height) / scale * 255));
    picVolume->tag = QString::number(v);
    m_controller->setVolume(v);
}

int32_t EmbeddedPlayer::volume() const
{
    return clampVolume(picVolume->tag.toDouble());
}

void EmbeddedPlayer::setVolume(int32_t volume)
{
    const int32_t v = clampVolume(volume);
    picVolume->tag = QString::number(v);
    m_controller->setVolume(v);
    picVolume->setShapeWidth(static_cast<int>(v / 255.0 * picVolume->scaleWidth() + 1));
}

void EmbeddedPlayer::setSpectrumColor(uint32_t value)
{
    PicSpectrum->setColorValue(value);
}

void EmbeddedPlayer::mnuSpectrum_Click()
{
    QAction *item = m_main.menus().item(QStringLiteral("mnuSpectrum"));
    const bool on = item->isChecked();
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), on);
    PicSpectrum->setVisible(on);
    picSpecVolume->setVisible(on);
    picVolume->setVisible(!on);
    lblVolume->setVisible(!on);
    if (on)
        tmrSpectrum->start();
    else
        tmrSpectrum->stop();
}

void EmbeddedPlayer::tmrSpectrum_Timer()
{
    if (!m_controller->Playing || !m_main.menus().item(QStringLiteral("mnuSpectrum"))->isChecked())
        return;
    if (m_main.isMinimized())
        return;
    jumpWindow(PicSpectrum->DrawSpectrum());
}

void EmbeddedPlayer::jumpWindow(float rise)
{
    const int offset = static_cast<int>(std::lround(rise * m_controller->ScreenJump));
    if (offset == 0 || m_main.isJumping())
        return;
    m_main.jumpBy(offset);
}

void EmbeddedPlayer::PicSpectrum_MouseUp(Qt::MouseButton Button)
{
    if (Button != Qt::RightButton)
        return;
    uint32_t c = storedSpectrumColor();
    if (const auto chosen = corvanel::platform::dialogs().chooseColor(AnalyserView::toColor(c))) {
        c = AnalyserView::fromColor(*chosen);
        corvanel::platform::saveSetting(QStringLiteral("Options"), QStringLiteral("SpectrumColor"), QString::number(c));
    }
    PicSpectrum->setColorValue(c);
}

} // namespace corvanel::app
