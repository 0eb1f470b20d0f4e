#include "frmMain.h"

#include "AboutText.h"
#include "AfterFirstPaint.h"
#include "CoverView.h"
#include "Dialogs.h"
#include "EmbeddedPlayer.h"
#include "MprisService.h"
#include "NativePath.h"
#include "Options.h"
#include "SettingsStore.h"
#include "Shell.h"
#include "SkinFrame.h"
#include "SkinStyle.h"
#include "TrayIcon.h"
#include "WaitCursor.h"
#include "frmBack.h"
#include "frmEQ.h"
#include "frmMenus.h"
#include "frmUpdater.h"
#include "mdl.h"
// External players and the library checks.
#include "ExternalPlayers.h"
#include "LibraryChecks.h"
#include "PlaylistFile.h"
#include "frmDefaultPlayer.h"
#include <QKeyEvent>
#include <algorithm>
#include <functional>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QSignalBlocker>
#include <QSizeGrip>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>
#include <array>

namespace corvanel::app {

using namespace corvanel::library;
using namespace corvanel::platform;
using namespace corvanel::playback;
using namespace corvanel::skin;
using namespace corvanel::update;

namespace {

// The side of the playing song's cover: the height of the three now-playing lines.
constexpr int kCoverSide = 64;

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("fieldCaption"));
    return label;
}

QListWidget *makeFilterList(const QString &name, QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(name);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return list;
}

QPushButton *button(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

// A small cross in a circle, drawn at the screen's pixel ratio.
QPixmap clearSearchPicture()
{
    const qreal ratio = frmBack::screenRatio();
    QPixmap picture(QSize(18, 18) * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 46));
    painter.drawEllipse(QRectF(1, 1, 16, 16));
    painter.setPen(QPen(QColor(230, 236, 242), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(6, 6), QPointF(12, 12));
    painter.drawLine(QPointF(12, 6), QPointF(6, 12));
    return picture;
}

} // namespace

frmMain::frmMain(MusicLibrary &library, std::unique_ptr<SongCatalog> catalog, QWidget *parent,
                 const std::function<void(const QString &)> &engineStatus)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_library(library), m_catalog(std::move(catalog))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Corvanel"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_back = std::make_unique<frmBack>();
    setWindowIcon(m_back->appIcon());
    if (!m_catalog)
        m_catalog = std::make_unique<SongCatalog>(library);
    buildWindow();

    // The list part of the load.
    fraNow->setTitle(fraNow->title() + library.iPodName);
    m_menus = std::make_unique<frmMenus>();
    m_missingCheck = new MissingFilesCheck(this);
    connect(m_missingCheck, &MissingFilesCheck::finished, this, &frmMain::missingCheckFinished);
    m_notInDatabaseTask = new ScanTask(this);
    connectMenus();
    connectBrowser();
    m_browser->load();

    // The spectrum colour, the sound engine, then the settings, then the tray icon.
    m_player->setSpectrumColor(storedSpectrumColor());
    if (!m_player->InitSoundEngine(engineStatus))
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    auto store = openOptionsStore();
    LoadOptions(*m_menus, *store, [this](int32_t v) { setVolume(v); });
    connectExternalPlayers();
    connectDeviceTools();
    connectPlayer();
    connectSimulator();
    m_tray = new TrayIcon(this);
    connect(m_tray, &TrayIcon::showRequested, this, &frmMain::mnuShow_Click);
    connect(m_tray, &TrayIcon::popupRequested, this, &frmMain::ShowPopup);
    m_tray->show();
    connectDesktop();
    // What is left of the per-song work is done off this thread once the window is on screen
    // and has handled what showing it brought.
    afterFirstPaint(this, [this] { QTimer::singleShot(0, this, &frmMain::finishSongDetails); });
}

frmMain::~frmMain()
{
    Shutdown();
}

void frmMain::buildWindow()
{
    skin::applyStyle(this);
    resize(1180, 760);
    setMinimumSize(900, 560);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    buildFrame(root);
    auto *body = new QHBoxLayout;
    body->setContentsMargins(14, 10, 14, 8);
    body->setSpacing(12);
    root->addLayout(body, 1);
    buildFilterLists(body);
    auto *right = new QVBoxLayout;
    right->setSpacing(6);
    body->addLayout(right, 1);
    buildSearchRow(right);
    buildSongList(right);
    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(12);
    buildNowPlaying(bottom);
    buildButtons(bottom);
    right->addLayout(bottom);
    auto *grip = new QSizeGrip(this);
    auto *gripRow = new QHBoxLayout;
    gripRow->setContentsMargins(0, 0, 4, 4);
    gripRow->addStretch(1);
    gripRow->addWidget(grip);
    root->addLayout(gripRow);

    connect(txtSearch, &QLineEdit::textChanged, this, &frmMain::txtSearch_Change);
    connect(cmdJump, &QPushButton::clicked, this, &frmMain::cmdJump_Click);
    connect(lstSong->header(), &QHeaderView::sectionClicked, this, &frmMain::lstSong_ColumnClick);
}

void frmMain::buildFrame(QVBoxLayout *root)
{
    m_frame = new SkinFrame(this);
    root->addWidget(m_frame);
    connect(m_frame, &SkinFrame::closeRequested, this, &QWidget::close);
    connect(m_frame, &SkinFrame::minimizeRequested, this, &QWidget::showMinimized);
    connect(m_frame, &SkinFrame::iconDoubleClicked, this, &QWidget::close);
    connect(m_frame, &SkinFrame::iconClicked, this,
            [this](QPoint at) { m_menus->popup(QStringLiteral("mnuIcon"), at); });
    connect(m_frame, &SkinFrame::menuLabelClicked, this,
            [this](const QString &menu, QPoint at) { m_menus->popup(menu, at); });
}

void frmMain::buildFilterLists(QHBoxLayout *body)
{
    auto *filters = new QVBoxLayout;
    filters->setSpacing(4);
    lstSource = makeFilterList(QStringLiteral("lstSource"), this);
    lstGenre = makeFilterList(QStringLiteral("lstGenre"), this);
    lstArtist = makeFilterList(QStringLiteral("lstArtist"), this);
    lstAlbum = makeFilterList(QStringLiteral("lstAlbum"), this);
    const std::pair<const char *, QListWidget *> levels[] = {
        {"Source:", lstSource}, {"Genre:", lstGenre}, {"Artist:", lstArtist}, {"Album:", lstAlbum}};
    for (const auto &[text, list] : levels) {
        filters->addWidget(caption(QString::fromLatin1(text), this));
        filters->addWidget(list, 1);
    }
    auto *filterPane = new QWidget(this);
    filterPane->setLayout(filters);
    filters->setContentsMargins(0, 0, 0, 0);
    filterPane->setFixedWidth(250);
    body->addWidget(filterPane);
}

void frmMain::buildSearchRow(QVBoxLayout *right)
{
    auto *searchRow = new QHBoxLayout;
    m_songsLabel = caption(QStringLiteral("Songs:"), this);
    searchRow->addWidget(m_songsLabel);
    searchRow->addStretch(1);
    searchRow->addWidget(caption(QStringLiteral("Search:"), this));
    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setFixedWidth(280);
    txtSearch->setPlaceholderText(QStringLiteral("Words in title, artist, album, path..."));
    searchRow->addWidget(txtSearch);
    imgClearSearch = new QLabel(this);
    imgClearSearch->setObjectName(QStringLiteral("imgClearSearch"));
    imgClearSearch->setPixmap(clearSearchPicture());
    imgClearSearch->setCursor(Qt::PointingHandCursor);
    imgClearSearch->setToolTip(QStringLiteral("Clear the search"));
    imgClearSearch->installEventFilter(this);
    searchRow->addWidget(imgClearSearch);
    right->addLayout(searchRow);
}

void frmMain::buildSongList(QVBoxLayout *right)
{
    m_model = new SongTableModel(*m_catalog, this);
    lstSong = new QTreeView(this);
    lstSong->setObjectName(QStringLiteral("lstSong"));
    lstSong->setModel(m_model);
    lstSong->setRootIsDecorated(false);
    lstSong->setUniformRowHeights(true);
    lstSong->setAlternatingRowColors(true);
    lstSong->setSelectionMode(QAbstractItemView::SingleSelection);
    lstSong->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstSong->setAllColumnsShowFocus(true);
    lstSong->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstSong->header()->setSectionsClickable(true);
    lstSong->header()->setSortIndicatorShown(true);
    lstSong->header()->setSortIndicator(SongCatalog::ColArtist, Qt::AscendingOrder);
    lstSong->header()->setStretchLastSection(false);
    const int widths[SongCatalog::ColumnCount] = {52, 220, 150, 170, 100, 230, 120, 0, 0, 80, 110};
    // Each shown heading fits whole, with room for the sort arrow, whatever the font.
    const QFontMetrics heading = lstSong->header()->fontMetrics();
    for (int c = 0; c < SongCatalog::ColumnCount; ++c) {
        const QString text = lstSong->model()->headerData(c, Qt::Horizontal).toString();
        lstSong->setColumnWidth(c, widths[c] ? std::max(widths[c], heading.horizontalAdvance(text) + 28) : 0);
    }
    lstSong->setColumnWidth(HistoryColumns::ColPlays, 50);
    lstSong->setColumnWidth(HistoryColumns::ColRating, 80);
    lstSong->setColumnWidth(HistoryColumns::ColLastPlayed, 160);
    lstSong->setColumnHidden(SongCatalog::ColSongId, true);
    lstSong->setColumnHidden(SongCatalog::ColLengthMs, true);
    lstSong->viewport()->installEventFilter(this);
    right->addWidget(lstSong, 1);
}

void frmMain::buildNowPlaying(QHBoxLayout *bottom)
{
    fraNow = new QGroupBox(QStringLiteral("Currently Playing from "), this);
    fraNow->setObjectName(QStringLiteral("fraNow"));
    auto *now = new QGridLayout(fraNow);
    now->setContentsMargins(10, 12, 10, 8);
    now->setHorizontalSpacing(10);
    now->setVerticalSpacing(2);
    auto nowLabel = [this](const char *name) {
        auto *label = new QLabel(fraNow);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextFormat(Qt::PlainText);
        return label;
    };
    lblTitle = nowLabel("lblTitle");
    lblArtist = nowLabel("lblArtist");
    lblAlbum = nowLabel("lblAlbum");
    lblGenre = nowLabel("lblGenre");
    lblTime = nowLabel("lblTime");
    picCover = new CoverView(QStringLiteral("picCover"), fraNow);
    picCover->setFixedSize(kCoverSide, kCoverSide);
    now->addWidget(picCover, 0, 0, 3, 1, Qt::AlignVCenter);
    now->addWidget(lblTitle, 0, 1, 1, 2);
    now->addWidget(lblArtist, 1, 1);
    now->addWidget(lblAlbum, 2, 1);
    now->addWidget(lblGenre, 1, 2);
    now->addWidget(lblTime, 2, 2);
    m_idleHint = new QLabel(QStringLiteral("Nothing is playing."), fraNow);
    m_idleHint->setObjectName(QStringLiteral("idleHint"));
    now->addWidget(m_idleHint, 0, 1, 3, 2, Qt::AlignLeft | Qt::AlignVCenter);
    m_player = new EmbeddedPlayer(*this, fraNow);
    now->addWidget(m_player, 3, 0, 1, 4);
    cmdJump = button(QStringLiteral("cmdJump"), QStringLiteral("Jump"), fraNow);
    now->addWidget(cmdJump, 0, 3, 3, 1, Qt::AlignVCenter);
    now->setColumnStretch(1, 3);
    now->setColumnStretch(2, 2);
    fraNow->setMinimumHeight(150);
    bottom->addWidget(fraNow, 1);
}

void frmMain::buildButtons(QHBoxLayout *bottom)
{
    auto *buttons = new QGridLayout;
    buttons->setSpacing(6);
    cmdDefault = button(QStringLiteral("cmdDefault"), QStringLiteral("Open In Embedded Player"), this);
    cmdOpen = button(QStringLiteral("cmdOpen"), QStringLiteral("Open In External Player"), this);
    cmdMakeM3u = button(QStringLiteral("cmdMakeM3u"), QStringLiteral("Open as Playlist in External Player"), this);
    cmdExtract = button(QStringLiteral("cmdExtract"), QStringLiteral("Extract Songs"), this);
    cmdEQ = button(QStringLiteral("cmdEQ"), QStringLiteral("EQ"), this);
    buttons->addWidget(cmdDefault, 0, 0);
    buttons->addWidget(cmdOpen, 0, 1);
    buttons->addWidget(cmdMakeM3u, 1, 0, 1, 2);
    buttons->addWidget(cmdExtract, 2, 0);
    buttons->addWidget(cmdEQ, 2, 1);
    bottom->addLayout(buttons);
}

void frmMain::connectMenus()
{
    auto on = [this](const char *name, auto slot) {
        if (QAction *action = m_menus->item(QLatin1String(name)))
            connect(action, &QAction::triggered, this, slot);
    };
    on("mnuMinimize", &QWidget::showMinimized);
    on("mnuClose", &QWidget::close);
    on("mnuExit", &QWidget::close);
    on("mnuShow", &frmMain::mnuShow_Click);
    on("mnuInfo", &frmMain::mnuInfo_Click);
    on("mnuShowFile", &frmMain::mnuShowFile_Click);
    on("mnuWebsite", &frmMain::mnuWebsite_Click);
    on("mnuAbout", &frmMain::mnuAbout_Click);
    on("mnuUpdate", &frmMain::mnuUpdate_Click);
}

int32_t frmMain::volume() const
{
    return m_player->volume();
}

void frmMain::setVolume(int32_t volume)
{
    m_player->setVolume(volume);
}

void frmMain::selectSongRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex index = m_model->index(row, 0);
    lstSong->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    lstSong->scrollTo(index);
}

void frmMain::showNowPlaying(bool shown)
{
    m_idleHint->setVisible(!shown);
}

void frmMain::jumpBy(int offset)
{
    if (offset == 0 || m_jumping)
        return;
    m_jumping = true;
    const QPoint home = pos();
    move(home + QPoint(offset, 0));
    QTimer::singleShot(20, this, [this, home] {
        move(home);
        m_jumping = false;
    });
}

void frmMain::cmdEQ_Click()
{
    if (!m_eq) {
        m_eq = new frmEQ(m_player->controller().equaliser(), this);
        m_eq->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_eq->show();
    m_eq->raise();
}

void frmMain::connectPlayer()
{
    auto on = [this](const char *name, auto slot) {
        if (QAction *action = m_menus->item(QLatin1String(name)))
            connect(action, &QAction::triggered, m_player, slot);
    };
    on("mnuSpectrum", &EmbeddedPlayer::mnuSpectrum_Click);
    on("mnuSpecColor", [this] { m_player->PicSpectrum_MouseUp(Qt::RightButton); });
    on("mnuPrev", &EmbeddedPlayer::picPrev_Click);
    on("mnuNext", &EmbeddedPlayer::picNext_Click);
    on("mnuInEmbedded", &EmbeddedPlayer::OpenInEmbedded);
    on("mnuDouble", [this] { lstSong_DblClick(); });
    connect(m_menus.get(), &frmMenus::playRequested, m_player, &EmbeddedPlayer::picPlay_Click);
    connect(m_menus.get(), &frmMenus::pauseRequested, m_player, &EmbeddedPlayer::picPause_Click);
    connect(cmdDefault, &QPushButton::clicked, m_player, &EmbeddedPlayer::OpenInEmbedded);
    connect(cmdEQ, &QPushButton::clicked, this, &frmMain::cmdEQ_Click);
}

void frmMain::mnuInfo_Click()
{
    const int row = selectedSongRow();
    if (row < 0)
        return;
    const Song &song = m_library.Songs[static_cast<std::size_t>(m_model->songAt(row))];
    corvanel::platform::dialogs().message({QStringLiteral("Song Information"), songInformationText(song),
                                           corvanel::platform::MessageIcon::Information,
                                           corvanel::platform::MessageButtons::Ok});
}

void frmMain::mnuShowFile_Click()
{
    const int row = selectedSongRow();
    if (row < 0)
        return;
    const QString file = nativeSongPath(m_library.iPodDrive, m_model->text(row, SongCatalog::ColPath));
    if (!file.isEmpty())
        corvanel::platform::shell().showInFileManager(file);
}

void frmMain::mnuWebsite_Click()
{
    const WaitCursor wait;
    corvanel::platform::shell().openDocument(QStringLiteral(CORVANEL_WEBSITE));
}

void frmMain::mnuAbout_Click()
{
    corvanel::platform::dialogs().message({aboutTitle(m_frame->lblCaption->text()), aboutText(),
                                           corvanel::platform::MessageIcon::Information,
                                           corvanel::platform::MessageButtons::Ok});
}

void frmMain::mnuUpdate_Click()
{
    corvanel::update::openUpdateWindow(this, [this](bool fromStartup) { mdl::RunUpdater(fromStartup, this); });
}

void frmMain::mnuShow_Click()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    raise();
    activateWindow();
}

void frmMain::ShowPopup()
{
    QCoreApplication::processEvents();
    m_menus->popup(QStringLiteral("mnuPopup"), QCursor::pos());
}

bool frmMain::trayAvailable() const
{
    return m_tray && TrayIcon::available();
}

void frmMain::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    m_backdrop.paint(painter, event->rect(), size(), devicePixelRatioF());
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!isMaximized() && !isFullScreen())
        setMask(roundedMask(size()));
}

void frmMain::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    const QAction *trayYes = m_menus ? m_menus->item(QStringLiteral("mnuTrayMinYes")) : nullptr;
    // Without a tray there would be no way back to a hidden window.
    if (trayYes && trayYes->isChecked() && trayAvailable())
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == imgClearSearch && event->type() == QEvent::MouseButtonRelease) {
        imgClearSearch_Click();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == lstSource->viewport() || watched == lstGenre->viewport() || watched == lstArtist->viewport() ||
         watched == lstAlbum->viewport()))
        m_filterRunsAtPress = m_filterRuns;
    if (watched == lstSong->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton && selectedSongRow() >= 0) {
            m_menus->popup(QStringLiteral("mnuAFile"), mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    Shutdown();
    event->accept();
}

void frmMain::Shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    delete m_mpris; // no remote command reaches a closing player
    m_mpris = nullptr;
    if (m_missingCheck->running()) {
        delete m_missingCheck; // stops the walk; its box is not shown any more
        m_missingCheck = nullptr;
        QGuiApplication::restoreOverrideCursor();
    }
    {
        auto store = openOptionsStore();
        SaveOptions(*m_menus, *store, volume());
    }
    hide();
    m_player->closeEngine();
    ProcessEject();
    if (m_eq)
        m_eq->close();
    if (corvanel::update::frmUpdater *updater = corvanel::update::updateWindow())
        updater->close();
    m_menus.reset();
    if (m_tray) {
        m_tray->hide();
        delete m_tray;
        m_tray = nullptr;
    }
}

} // namespace corvanel::app
