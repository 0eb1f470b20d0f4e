#include "frmiPod.h"

#include "NowPlayingScreen.h"
#include "SkinFrame.h"
#include "SkinStyle.h"
#include "frmBack.h"
#include "frmiPodArtwork.h"
#include "frmiPodControls.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <chrono>

namespace corvanel::simulator {

using namespace corvanel::skin;

namespace {
constexpr int kSleepHoldMs = 3000;
constexpr int kNotch = 120;               // one notch of a mouse wheel, in eighths of a degree
constexpr int kNowPlayingRefreshMs = 200; // as often as the player moves its own position bar

qint64 monotonicTicks()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

frmiPod::frmiPod(std::unique_ptr<BrowserLink> browser, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_browser(std::move(browser)), m_menus(*m_browser),
      m_wheel(m_menus.MenuList), m_ticks(monotonicTicks)
{
    setObjectName(QStringLiteral("frmiPod"));
    setWindowTitle(QStringLiteral("iPod"));
    setWindowIcon(frmBack::appIcon());
    skin::applyStyle(this);
    setFixedSize(artwork::kWidth, artwork::kHeight);
    setFocusPolicy(Qt::StrongFocus);
    buildControls();
    Form_Load();
}

frmiPod::~frmiPod() = default;

void frmiPod::buildControls()
{
    picTop = new QWidget(this);
    picTop->setObjectName(QStringLiteral("picTop"));
    picTop->setGeometry(artwork::kTop);
    picTop->setCursor(Qt::OpenHandCursor);
    picTop->setToolTip(QStringLiteral("Drag to move"));

    lblTitle = new ScreenTitle(this);
    lblTitle->setGeometry(artwork::kTitle);
    lblTitle->setText(m_menus.title());
    lblTitle->setScreenColor(m_menus.MenuList.backColor());
    lstMenu = new MenuScreen(m_menus.MenuList, this);
    lstMenu->setGeometry(artwork::kList);
    lstMenu->setOpensMenu(
        [this](const QString &entry) { return m_menus.CurrentMenu && m_menus.CurrentMenu->opensMenu(entry); });

    PicScrollWheel = new WheelPad(this);
    PicScrollWheel->setGeometry(artwork::kWheel);
    lblMenu =
        new PodButton(QStringLiteral("lblMenu"), PodButton::Shape::Caption, QStringLiteral("MENU"), PicScrollWheel);
    lblMenu->setGeometry(artwork::kMenuButton);
    lblSelect = new PodButton(QStringLiteral("lblSelect"), PodButton::Shape::Round, QString(), PicScrollWheel);
    lblSelect->setGeometry(artwork::kSelectButton);

    tmrSleep = new QTimer(this);
    tmrSleep->setObjectName(QStringLiteral("tmrSleep"));
    tmrSleep->setInterval(kSleepHoldMs);
    picNowPlaying = new NowPlayingScreen(this);
    picNowPlaying->setGeometry(artwork::kList);
    picNowPlaying->setScreenColor(m_menus.MenuList.backColor());
    picNowPlaying->hide();
    tmrNowPlaying = new QTimer(this);
    tmrNowPlaying->setInterval(kNowPlayingRefreshMs);
    connect(&m_menus, &SimulatorMenus::nowPlayingRequested, this, &frmiPod::showNowPlaying);
    connect(&m_menus.MenuList, &MenuListModel::backColorChanged, picNowPlaying, &NowPlayingScreen::setScreenColor);
    connect(tmrNowPlaying, &QTimer::timeout, this, &frmiPod::refreshNowPlaying);

    connect(&m_menus, &SimulatorMenus::titleChanged, lblTitle, &QLabel::setText);
    connect(&m_menus.MenuList, &MenuListModel::backColorChanged, lblTitle, &ScreenTitle::setScreenColor);
    connect(&m_menus, &SimulatorMenus::closeRequested, this, &QWidget::close);
    connect(lstMenu, &MenuScreen::activated, this, &frmiPod::lblSelect_Click);
    connect(lblMenu, &PodButton::pressed, this, &frmiPod::lblMenu_MouseDown);
    connect(lblMenu, &PodButton::released, this, &frmiPod::lblMenu_MouseUp);
    connect(lblSelect, &PodButton::clicked, this, &frmiPod::lblSelect_Click);
    connect(tmrSleep, &QTimer::timeout, this, &frmiPod::tmrSleep_Timer);
    connect(PicScrollWheel, &WheelPad::mouseDown, this, &frmiPod::PicScrollWheel_MouseDown);
    connect(PicScrollWheel, &WheelPad::mouseMove, this, &frmiPod::PicScrollWheel_MouseMove);
}

void frmiPod::Form_Load()
{
    m_browser->hideBrowser();
    m_menus.start();
    RoundWindow(artwork::kCorner);
}

void frmiPod::RoundWindow(int cornerSize)
{
    setMask(roundedMask(size(), cornerSize));
}

void frmiPod::lblMenu_MouseDown()
{
    // The tick count is positive while the button is held, "0" once it is let go. Each press
    // starts the hold time afresh, so a tick only comes a full hold after the latest press.
    lblMenu->Tag = QString::number(std::max<qint64>(1, m_ticks()));
    tmrSleep->start();
}

void frmiPod::lblMenu_MouseUp()
{
    lblMenu->Tag = QStringLiteral("0");
    if (picNowPlaying->isVisible()) {
        hideNowPlaying();
        return;
    }
    if (m_menus.CurrentMenu)
        m_menus.CurrentMenu->GoToParent();
}

void frmiPod::lblSelect_Click()
{
    if (picNowPlaying->isVisible())
        return;
    if (m_menus.CurrentMenu)
        m_menus.CurrentMenu->SelectOption(m_menus.MenuList.text());
}

void frmiPod::showNowPlaying()
{
    // A song the embedded player did not take (another player, a failed start) leaves the menu.
    picNowPlaying->setNowPlaying(m_browser->nowPlaying());
    if (!picNowPlaying->nowPlaying().chosen)
        return;
    picNowPlaying->show();
    picNowPlaying->raise();
    lblTitle->setText(QStringLiteral("Now Playing"));
    tmrNowPlaying->start();
}

void frmiPod::hideNowPlaying()
{
    tmrNowPlaying->stop();
    picNowPlaying->hide();
    lblTitle->setText(m_menus.title());
}

void frmiPod::refreshNowPlaying()
{
    picNowPlaying->setNowPlaying(m_browser->nowPlaying());
    if (!picNowPlaying->nowPlaying().playing)
        hideNowPlaying();
}

void frmiPod::tmrSleep_Timer()
{
    if (lblMenu->Tag.toLongLong() > 0 && m_menus.CurrentMenu)
        m_menus.CurrentMenu->SelectOption(QStringLiteral("Sleep"));
}

void frmiPod::PicScrollWheel_MouseDown(const QPointF &at)
{
    m_wheel.MouseDown(at);
}

void frmiPod::PicScrollWheel_MouseMove(Qt::MouseButtons buttons, const QPointF &at)
{
    if (picNowPlaying->isVisible()) // the list is hidden under the screen: nothing to move
        return;
    m_wheel.MouseMove(buttons.testFlag(Qt::LeftButton), at, PicScrollWheel->size());
}

void frmiPod::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    artwork::paintBody(painter);
}

void frmiPod::closeEvent(QCloseEvent *event)
{
    tmrSleep->stop();
    tmrNowPlaying->stop();
    if (!m_unloaded) {
        m_unloaded = true;
        m_browser->showBrowser();
    }
    event->accept();
}

void frmiPod::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    setFocus();
}

void frmiPod::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Down:
        if (!picNowPlaying->isVisible())
            m_wheel.MoveDown();
        break;
    case Qt::Key_Up:
        if (!picNowPlaying->isVisible())
            m_wheel.MoveUp();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        lblSelect_Click();
        break;
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
        if (picNowPlaying->isVisible())
            hideNowPlaying();
        else if (m_menus.CurrentMenu)
            m_menus.CurrentMenu->GoToParent();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void frmiPod::wheelEvent(QWheelEvent *event)
{
    // One entry per notch; a touchpad's smaller movements add up to notches.
    event->accept();
    if (picNowPlaying->isVisible())
        return;
    m_wheelDelta += event->angleDelta().y();
    for (; m_wheelDelta >= kNotch; m_wheelDelta -= kNotch)
        m_wheel.MoveUp();
    for (; m_wheelDelta <= -kNotch; m_wheelDelta += kNotch)
        m_wheel.MoveDown();
}

void frmiPod::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && windowHandle())
        windowHandle()->startSystemMove();
}

} // namespace corvanel::simulator
