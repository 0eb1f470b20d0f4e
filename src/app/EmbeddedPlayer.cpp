#include "EmbeddedPlayer.h"

#include "AnalyserView.h"
#include "Dialogs.h"
#include "FSound.h"
#include "NativePath.h"
#include "ScreenJump.h"
#include "SettingsStore.h"
#include "TimeText.h"
#include "WaitCursor.h"
#include "frmMain.h"
#include "frmMenus.h"
#include "mdlEQ.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <algorithm>
#include <cmath>

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
    const auto value = corvanel::toNumber(text);
    // A hand-edited value that is no colour (negative, past 24 bits, fractional, text) is ignored.
    if (!value || !(*value >= 0.0 && *value <= 16777215.0) || *value != std::floor(*value))
        return kDefault;
    return static_cast<uint32_t>(*value);
}

uint32_t storedSpectrumColor()
{
    return spectrumColorFromText(
        corvanel::getSetting(QStringLiteral("Options"), QStringLiteral("SpectrumColor"), QStringLiteral("16711680")));
}

QString remainingText(const QString &length, const QString &elapsed)
{
    if (length.isEmpty() || elapsed.isEmpty())
        return QString();
    auto split = [](const QString &text, int &minutes, int &seconds) {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        minutes = text.left(colon).toInt();
        seconds = colon < 0 ? 0 : text.mid(colon + 1).toInt();
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

    lblVolume = new QLabel(QStringLiteral("Volume:"), this);
    lblVolume->setObjectName(QStringLiteral("lblVolume"));
    picVolume = new MeterBar(QStringLiteral("picVolume"), Qt::Horizontal, this);
    picVolume->setFixedSize(100, 10);
    picVolume->tag = QStringLiteral("200");
    auto *volumeRow = new QHBoxLayout;
    volumeRow->addWidget(lblVolume);
    volumeRow->addWidget(picVolume);
    grid->addLayout(volumeRow, 0, 4, 2, 1, Qt::AlignVCenter);

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
    grid->setColumnStretch(2, 1);

    tmrCheckfMod = new QTimer(this);
    tmrCheckfMod->setInterval(200);
    tmrSpectrum = new QTimer(this);
    tmrSpectrum->setInterval(10);

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
    EQChannel = [this] { return CurrentChannel; };
}

EmbeddedPlayer::~EmbeddedPlayer()
{
    EQChannel = nullptr;
    closeEngine();
}

bool EmbeddedPlayer::InitSoundEngine(const std::function<void(const QString &)> &status)
{
    if (status)
        status(QStringLiteral("Initializing fMod for embedded playing..."));
    if (!FSOUND_Init(44100, 32, 0)) {
        corvanel::dialogs().message(
            {QStringLiteral("Corvanel"),
             QStringLiteral("An error occured initializing fmod!\r\n") + FModErrorText(FSOUND_GetError()),
             corvanel::MessageIcon::None, corvanel::MessageButtons::Ok});
        return false;
    }
    m_engineOpen = true;
    FSOUND_SetVolume(FSOUND_ALL, volume());
    tmrCheckfMod->start();
    return true;
}

void EmbeddedPlayer::closeEngine()
{
    if (!m_engineOpen)
        return;
    m_engineOpen = false;
    Playing = false;
    tmrCheckfMod->stop();
    tmrSpectrum->stop();
    FSOUND_StopSound(FSOUND_ALL);
    processEventsTimes(4);
    FSOUND_Close();
    processEventsTimes(4);
    CurrentSample = 0;
    CurrentChannel = 0;
    CurrentFile.clear();
}

void EmbeddedPlayer::showPlaying(bool playing)
{
    picPlay->setVisible(!playing);
    picPause->setVisible(playing);
    m_main.menus().item(QStringLiteral("mnuPause"))->setEnabled(playing);
    m_main.menus().item(QStringLiteral("mnuPlay"))->setEnabled(!playing);
}

void EmbeddedPlayer::OpenInEmbedded()
{
    const WaitCursor wait;
    const int row = m_main.selectedSongRow();
    if (row < 0)
        return;
    SongTableModel &songs = m_main.songModel();
    if (songs.text(row, SongCatalog::ColType).toLower() == QLatin1String("aac audio file")) {
        if (m_main.menus().item(QStringLiteral("mnuUnsupportedFiles"))->isChecked())
            m_main.handOverToExternalPlayer();
        else
            corvanel::dialogs().inform(QStringLiteral("AAC File Not Supported"),
                                       QStringLiteral("This song is an AAC file which the embedded player is not "
                                                      "capable of playing. Please try using the Default Player."));
        return;
    }
    // A path the resolver refuses (it would leave the iPod) is an error of the start itself.
    const QString file = nativeSongPath(m_main.library().iPodDrive, songs.text(row, SongCatalog::ColPath));
    if (!file.isEmpty())
        PlayFile(file);
    showPlaying(true);
    QCoreApplication::processEvents();
    if (file.isEmpty()) {
        startFailed();
        return;
    }
    m_main.setNowPlayingLength(songs.text(row, SongCatalog::ColLengthMs));
    m_main.lblTitle->setText(songs.text(row, SongCatalog::ColTitle));
    m_main.lblArtist->setText(songs.text(row, SongCatalog::ColArtist));
    m_main.lblAlbum->setText(songs.text(row, SongCatalog::ColAlbum));
    m_main.menus()
        .item(QStringLiteral("mnuNow"))
        ->setText(m_main.lblArtist->text() + QStringLiteral(" - ") + m_main.lblTitle->text());
    m_main.lblGenre->setText(songs.text(row, SongCatalog::ColGenre));
    NowPlayingLength = songs.text(row, SongCatalog::ColLengthMs).toInt();
    m_main.lblTime->setText(QStringLiteral("Length: ") + ConvertToTime(NowPlayingLength));
    m_main.showNowPlaying(true);
}

void EmbeddedPlayer::startFailed()
{
    if (m_main.menus().item(QStringLiteral("mnuUnsupportedFiles"))->isChecked())
        m_main.handOverToExternalPlayer();
    else
        corvanel::dialogs().inform(
            QStringLiteral("Error in playing file"),
            QStringLiteral(
                "Could not play the file using the inbuilt Media Player... Please try using the Default Player"));
    m_main.lblTitle->clear();
    m_main.lblArtist->clear();
    m_main.lblAlbum->clear();
    m_main.lblGenre->clear();
}

void EmbeddedPlayer::PlayFile(const QString &File)
{
    const WaitCursor wait;
    if (picPause->isVisible())
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
            corvanel::dialogs().message(
                {QStringLiteral("Corvanel"),
                 QStringLiteral("An error occured opening the sample!\r\n") + FModErrorText(FSOUND_GetError()),
                 corvanel::MessageIcon::None, corvanel::MessageButtons::Ok});
            Playing = false;
            return;
        }
        channel = FSOUND_PlaySound(FSOUND_FREE, sample);
        FSOUND_SetVolume(FSOUND_ALL, volume());
        CurrentSample = sample;
        CurrentFile = File;
    }
    CurrentChannel = channel;
    if (channel == 0) {
        corvanel::dialogs().message(
            {QStringLiteral("Corvanel"),
             QStringLiteral("An error occured playing the sample!\r\n") + FModErrorText(FSOUND_GetError()),
             corvanel::MessageIcon::None, corvanel::MessageButtons::Ok});
        return;
    }
    applyEQToChannel(channel);
}

void EmbeddedPlayer::picPlay_Click()
{
    Playing = true;
    OpenInEmbedded();
}

void EmbeddedPlayer::picPause_Click()
{
    FSOUND_SetPaused(CurrentChannel, true);
    showPlaying(false);
}

void EmbeddedPlayer::selectRow(int row)
{
    m_main.selectSongRow(row);
}

void EmbeddedPlayer::picNext_Click()
{
    moveAndPlay(+1);
}

void EmbeddedPlayer::picPrev_Click()
{
    moveAndPlay(-1);
}

void EmbeddedPlayer::moveAndPlay(int step)
{
    // The list's current order; no wrapping: past an end all sound stops and the selection stays.
    const int count = m_main.songModel().rowCount();
    const int row = m_main.selectedSongRow();
    if (count == 0)
        return;
    if (row < 0) {
        selectRow(0);
    } else if (row + step < 0 || row + step >= count) {
        FSOUND_StopSound(FSOUND_ALL);
        Playing = false;
        return;
    } else {
        selectRow(row + step);
    }
    OpenInEmbedded();
}

void EmbeddedPlayer::tmrCheckfMod_Timer()
{
    const int32_t v = clampVolume(FSOUND_GetVolume(0));
    picVolume->setShapeWidth(static_cast<int>(v / 255.0 * picVolume->scaleWidth() + 1));
    picVolume->tag = QString::number(v);
    const int height = static_cast<int>(v / 255.0 * picSpecVolume->scaleHeight());
    picSpecVolume->setShapeTopHeight(picSpecVolume->scaleHeight() - height + 1, height);

    const unsigned p = CurrentChannel ? FSOUND_GetCurrentPosition(CurrentChannel) : 0;
    const unsigned n = CurrentSample ? FSOUND_Sample_GetLength(CurrentSample) : 0;
    const bool playing = CurrentChannel != 0 && FSOUND_IsPlaying(CurrentChannel) == 1;
    if (playing && n > 0) {
        const double fraction = static_cast<double>(p) / n;
        PicPosition->setShapeWidth(static_cast<int>(fraction * PicPosition->scaleWidth()));
        lblElapsed->setText(ConvertToTime(static_cast<int32_t>(std::lround(fraction * NowPlayingLength))));
        ShowRemaining();
    } else if (Playing && !QApplication::activeModalWidget()) {
        // While a box waits for the user, continuous play waits too: no second box over the first.
        picNext_Click();
    }
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
    if (CurrentChannel == 0 || CurrentSample == 0)
        return;
    PicPosition->setShapeWidth(x);
    const double fraction = PicPosition->scaleWidth() > 0 ? static_cast<double>(x) / PicPosition->scaleWidth() : 0;
    FSOUND_SetCurrentPosition(
        CurrentChannel,
        static_cast<unsigned>(std::lround(std::clamp(fraction, 0.0, 1.0) * FSOUND_Sample_GetLength(CurrentSample))));
}

void EmbeddedPlayer::picVolume_MouseDown(int x)
{
    picVolume->setShapeWidth(x + 1);
    const int32_t v = clampVolume(std::floor(static_cast<double>(x + 1) / picVolume->scaleWidth() * 255));
    picVolume->tag = QString::number(v);
    FSOUND_SetVolume(FSOUND_ALL, v);
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
    FSOUND_SetVolume(FSOUND_ALL, v);
}

int32_t EmbeddedPlayer::volume() const
{
    return clampVolume(picVolume->tag.toDouble());
}

void EmbeddedPlayer::setVolume(int32_t volume)
{
    const int32_t v = clampVolume(volume);
    picVolume->tag = QString::number(v);
    FSOUND_SetVolume(FSOUND_ALL, v);
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
    if (!Playing || !m_main.menus().item(QStringLiteral("mnuSpectrum"))->isChecked())
        return;
    if (m_main.isMinimized())
        return;
    jumpWindow(PicSpectrum->DrawSpectrum());
}

void EmbeddedPlayer::jumpWindow(float rise)
{
    const int offset = static_cast<int>(std::lround(rise * ScreenJump));
    if (offset == 0 || m_main.isJumping())
        return;
    m_main.jumpBy(offset);
}

void EmbeddedPlayer::PicSpectrum_MouseUp(Qt::MouseButton Button)
{
    if (Button != Qt::RightButton)
        return;
    uint32_t c = storedSpectrumColor();
    if (const auto chosen = corvanel::dialogs().chooseColor(AnalyserView::toColor(c))) {
        c = AnalyserView::fromColor(*chosen);
        corvanel::saveSetting(QStringLiteral("Options"), QStringLiteral("SpectrumColor"), QString::number(c));
    }
    PicSpectrum->setColorValue(c);
}
