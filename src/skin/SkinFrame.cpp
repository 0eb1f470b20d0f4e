#include "SkinFrame.h"

#include <QApplication>
#include <QCursor>
#include <QKeySequence>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace corvanel::skin {

using namespace skin;

namespace {

constexpr int kPodLeft = 9;
constexpr int kButtonMargin = 9;
constexpr int kButtonGap = 4;
constexpr int kMenuLeft = 7;
constexpr int kMenuLabelHeight = kMenuBarHeight - 4;

QFont captionFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"),
                      QStringLiteral("Nimbus Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(12);
    return font;
}

QFont menuFont()
{
    QFont font = captionFont();
    font.setBold(false);
    font.setPixelSize(12);
    return font;
}

bool isLeftPress(QEvent *event)
{
    return (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
           static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
}

bool isLeftRelease(QEvent *event)
{
    return event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
}

bool releasedInside(QEvent *event, const QWidget *widget)
{
    return widget->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint());
}

// Draws the window's outer border over the caption and menu bar, which cover the window's
// own painting at the top.
class BorderOverlay : public QWidget
{
public:
    explicit BorderOverlay(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        // Only the top part of the window's rounded rectangle falls inside this widget.
        paintOuterBorder(painter, QRectF(0, 0, width(), height() + 4 * kCornerRadius));
    }
};

} // namespace

SkinImage::SkinImage(const QString &name, QWidget *parent) : QWidget(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_NoSystemBackground);
}

void SkinImage::setPixmap(const QPixmap &pixmap)
{
    m_pixmap = pixmap;
    update();
}

void SkinImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_pixmap);
}

CaptionLabel::CaptionLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setFont(captionFont());
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setAttribute(Qt::WA_TranslucentBackground);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, captionText());
    setPalette(colours);
}

void CaptionLabel::paintEvent(QPaintEvent *)
{
    // The skin's own font: a style sheet of the window must not change the caption bar.
    QPainter painter(this);
    painter.setFont(captionFont());
    const QString shown = painter.fontMetrics().elidedText(text(), Qt::ElideRight, width());
    painter.setPen(QColor(0, 0, 0, 150));
    painter.drawText(rect().translated(0, 1), static_cast<int>(alignment()), shown);
    painter.setPen(captionText());
    painter.drawText(rect(), static_cast<int>(alignment()), shown);
}

MenuBarLabel::MenuBarLabel(const QString &name, const QString &text, QWidget *parent) : QWidget(parent), m_text(text)
{
    setObjectName(name);
    setFont(menuFont());
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    resize(sizeHint());
}

QSize MenuBarLabel::sizeHint() const
{
    const int textWidth = QFontMetrics(menuFont()).horizontalAdvance(QString(m_text).remove(QLatin1Char('&')));
    return QSize(textWidth + 18, kMenuLabelHeight);
}

void MenuBarLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QRect textArea = rect();
    if (m_pressed) {
        // Sunken: dark well, shadow on the top and left, light on the bottom and right.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 95));
        painter.drawRoundedRect(face, 3, 3);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0, 0, 0, 150), 1));
        painter.drawLine(face.topLeft() + QPointF(2, 0), face.topRight() - QPointF(2, 0));
        painter.drawLine(face.topLeft() + QPointF(0, 2), face.bottomLeft() - QPointF(0, 2));
        painter.setPen(QPen(QColor(255, 255, 255, 40), 1));
        painter.drawLine(face.bottomLeft() + QPointF(2, 0), face.bottomRight() - QPointF(2, 0));
        painter.drawLine(face.topRight() + QPointF(0, 2), face.bottomRight() - QPointF(0, 2));
        textArea.translate(1, 1);
    } else if (m_hovered) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 18));
        painter.drawRoundedRect(face, 3, 3);
    }
    painter.setFont(menuFont());
    painter.setPen(QColor(0, 0, 0, 120));
    painter.drawText(textArea.translated(0, 1), Qt::AlignCenter | Qt::TextShowMnemonic, m_text);
    painter.setPen(m_hovered && !m_pressed ? accent().lighter(115) : captionText());
    painter.drawText(textArea, Qt::AlignCenter | Qt::TextShowMnemonic, m_text);
}

void MenuBarLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    update();
}

void MenuBarLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    update();
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

void MenuBarLabel::enterEvent(QEnterEvent *)
{
    m_hovered = true;
    update();
}

void MenuBarLabel::leaveEvent(QEvent *)
{
    m_hovered = false;
    update();
}

SkinFrame::SkinFrame(QWidget *parent) : QWidget(parent), m_back(0), m_cursorPosition([] { return QCursor::pos(); })
{
    setObjectName(QStringLiteral("SkinFrame"));
    setAttribute(Qt::WA_NoSystemBackground);
    setFixedHeight(kFrameTop);

    imgCaption = new SkinImage(QStringLiteral("imgCaption"), this);
    imgPod = new SkinImage(QStringLiteral("imgPod"), this);
    imgPod->setToolTip(QStringLiteral("Click for the window menu, double-click to close"));
    lblCaption = new CaptionLabel(QStringLiteral("Corvanel - Play Music From iPod Anywhere!"), this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    imgMinimize = new SkinImage(QStringLiteral("imgMinimize"), this);
    imgMaximize = new SkinImage(QStringLiteral("imgMaximize"), this);
    imgClose = new SkinImage(QStringLiteral("imgClose"), this);
    imgMinimizeHover = new SkinImage(QStringLiteral("imgMinimizeHover"), this);
    imgCloseHover = new SkinImage(QStringLiteral("imgCloseHover"), this);
    imgMinimizeHover->hide();
    imgCloseHover->hide();
    imgMinimize->setMouseTracking(true);
    imgClose->setMouseTracking(true);

    mnuFile = new MenuBarLabel(QStringLiteral("mnuFile"), QStringLiteral("&File"), this);
    mnuOptions = new MenuBarLabel(QStringLiteral("mnuOptions"), QStringLiteral("&Options"), this);
    mnuExtras = new MenuBarLabel(QStringLiteral("mnuExtras"), QStringLiteral("&Extras"), this);
    mnuHelp = new MenuBarLabel(QStringLiteral("mnuHelp"), QStringLiteral("&Help"), this);
    for (MenuBarLabel *label : {mnuFile, mnuOptions, mnuExtras, mnuHelp}) {
        connect(label, &MenuBarLabel::clicked, this, [this, label] { onMenuLabel(label); });
        auto *shortcut = new QShortcut(QKeySequence::mnemonic(label->text()), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, label] { onMenuLabel(label); });
    }

    tmrHideMinimize = new QTimer(this);
    tmrHideMinimize->setObjectName(QStringLiteral("tmrHideMinimize"));
    tmrHideMinimize->setInterval(1);
    connect(tmrHideMinimize, &QTimer::timeout, this, &SkinFrame::tmrHideMinimize_Timer);
    tmrHideClose = new QTimer(this);
    tmrHideClose->setObjectName(QStringLiteral("tmrHideClose"));
    tmrHideClose->setInterval(1);
    connect(tmrHideClose, &QTimer::timeout, this, &SkinFrame::tmrHideClose_Timer);

    for (QWidget *watched : std::initializer_list<QWidget *>{imgCaption, lblCaption, imgPod, imgMinimize,
                                                             imgMinimizeHover, imgClose, imgCloseHover})
        watched->installEventFilter(this);

    m_border = new BorderOverlay(this);
    m_border->raise();

    refreshPictures();
    resize(320, kFrameTop);
}

QString SkinFrame::menuNameFor(const QString &labelName)
{
    // The File menu's own name is spelt "mnuFIle".
    if (labelName == QLatin1String("mnuFile"))
        return QStringLiteral("mnuFIle");
    return labelName;
}

void SkinFrame::setCursorPositionSource(std::function<QPoint()> source)
{
    m_cursorPosition = source ? std::move(source) : [] { return QCursor::pos(); };
}

void SkinFrame::refreshPictures()
{
    m_ratio = devicePixelRatioF();
    m_back.setDevicePixelRatio(m_ratio);
    imgPod->setPixmap(m_back.podIcon());
    imgMinimize->setPixmap(m_back.imgMinimize());
    imgMinimizeHover->setPixmap(m_back.imgMinimizeHover());
    imgClose->setPixmap(m_back.imgClose());
    imgCloseHover->setPixmap(m_back.imgCloseHover());
    imgMaximize->setPixmap(m_back.imgMaximize());
    m_captionWidth = -1;
    layoutChildren();
}

void SkinFrame::refreshIfRatioChanged()
{
    if (!qFuzzyCompare(devicePixelRatioF(), m_ratio))
        refreshPictures();
}

void SkinFrame::layoutChildren()
{
    const int w = width();
    if (w != m_captionWidth) {
        m_captionWidth = w;
        imgCaption->setPixmap(m_back.captionPicture(w));
        m_menuBar = m_back.menuBarPicture(w);
    }
    imgCaption->setGeometry(0, 0, w, kCaptionHeight);

    const int buttonTop = (kCaptionHeight - kButtonSize) / 2;
    imgPod->setGeometry(kPodLeft, (kCaptionHeight - kPodIconSize) / 2, kPodIconSize, kPodIconSize);

    const int closeLeft = w - kButtonMargin - kButtonSize;
    const int maximizeLeft = closeLeft - kButtonGap - kButtonSize;
    const int minimizeLeft = maximizeLeft - kButtonGap - kButtonSize;
    imgClose->setGeometry(closeLeft, buttonTop, kButtonSize, kButtonSize);
    imgCloseHover->setGeometry(closeLeft, buttonTop, kButtonSize, kButtonSize);
    imgMaximize->setGeometry(maximizeLeft, buttonTop, kButtonSize, kButtonSize);
    imgMinimize->setGeometry(minimizeLeft, buttonTop, kButtonSize, kButtonSize);
    imgMinimizeHover->setGeometry(minimizeLeft, buttonTop, kButtonSize, kButtonSize);

    const int captionLeft = kPodLeft + kPodIconSize + 8;
    lblCaption->setGeometry(captionLeft, 0, std::max(0, minimizeLeft - 8 - captionLeft), kCaptionHeight);

    int x = kMenuLeft;
    for (MenuBarLabel *label : {mnuFile, mnuOptions, mnuExtras, mnuHelp}) {
        const QSize size = label->sizeHint();
        label->setGeometry(x, kCaptionHeight + 1, size.width(), size.height());
        x += size.width() + 2;
    }
    m_border->setGeometry(rect());
    update();
}

void SkinFrame::resizeEvent(QResizeEvent *)
{
    layoutChildren();
}

void SkinFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, kCaptionHeight, m_menuBar);
}

void SkinFrame::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        refreshIfRatioChanged();
}

void SkinFrame::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshIfRatioChanged();
    if (QWindow *handle = window()->windowHandle()) {
        connect(handle, &QWindow::screenChanged, this, &SkinFrame::refreshIfRatioChanged, Qt::UniqueConnection);
    }
}

bool SkinFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == imgCaption || watched == lblCaption) {
        if (event->type() == QEvent::MouseButtonPress && isLeftPress(event)) {
            startDrag();
            return true;
        }
        return false;
    }
    if (watched == imgPod)
        return handlePodEvent(event);

    if (event->type() == QEvent::MouseMove) {
        if (watched == imgClose)
            showLit(imgCloseHover, tmrHideClose);
        else if (watched == imgMinimize)
            showLit(imgMinimizeHover, tmrHideMinimize);
        return false;
    }
    if (isLeftPress(event)) {
        m_pressedButton = watched;
        return true;
    }
    if (isLeftRelease(event)) {
        const bool clicked = m_pressedButton == watched && releasedInside(event, static_cast<QWidget *>(watched));
        m_pressedButton = nullptr;
        if (clicked && (watched == imgClose || watched == imgCloseHover))
            emit closeRequested();
        else if (clicked && (watched == imgMinimize || watched == imgMinimizeHover))
            emit minimizeRequested();
        return true;
    }
    return false;
}

bool SkinFrame::handlePodEvent(QEvent *event)
{
    if (isLeftPress(event)) {
        // A double click is recognised by time as well as by the double-click event: the
        // window menu opened by the first click takes the second press, and the press that
        // closes it reaches the icon as a plain press.
        // Times are the events' own, so the rule holds however late the events are handled.
        const quint64 now = static_cast<QInputEvent *>(event)->timestamp();
        const bool second = event->type() == QEvent::MouseButtonDblClick ||
                            (m_lastPodClick && now >= *m_lastPodClick &&
                             now - *m_lastPodClick < quint64(QApplication::doubleClickInterval()));
        if (second) {
            m_lastPodClick.reset();
            m_podPressed = false;
            emit iconDoubleClicked();
        } else {
            m_podPressed = true;
        }
        return true;
    }
    if (isLeftRelease(event)) {
        const bool clicked = m_podPressed && releasedInside(event, imgPod);
        m_podPressed = false;
        if (clicked) {
            m_lastPodClick = static_cast<QInputEvent *>(event)->timestamp();
            const int below = imgPod->mapTo(window(), QPoint(0, imgPod->height())).y();
            emit iconClicked(window()->mapToGlobal(QPoint(0, below)));
        }
        return true;
    }
    return false;
}

void SkinFrame::startDrag()
{
    if (QWindow *handle = window()->windowHandle())
        handle->startSystemMove();
    emit dragStarted();
}

void SkinFrame::onMenuLabel(MenuBarLabel *label)
{
    emit menuLabelClicked(menuNameFor(label->objectName()), label->mapToGlobal(QPoint(0, label->height())));
}

void SkinFrame::showLit(SkinImage *lit, QTimer *timer)
{
    timer->start();
    lit->show();
    lit->raise();
    m_border->raise();
}

void SkinFrame::hideLitWhenCursorLeft(SkinImage *button, SkinImage *lit, QTimer *timer)
{
    const QPoint topLeft = button->mapToGlobal(QPoint(0, 0));
    const QPoint cursor = m_cursorPosition();
    const bool inside = topLeft.x() < cursor.x() && cursor.x() < topLeft.x() + button->width() &&
                        topLeft.y() < cursor.y() && cursor.y() < topLeft.y() + button->height();
    if (inside)
        return;
    lit->hide();
    timer->stop();
}

void SkinFrame::tmrHideClose_Timer()
{
    hideLitWhenCursorLeft(imgClose, imgCloseHover, tmrHideClose);
}

void SkinFrame::tmrHideMinimize_Timer()
{
    hideLitWhenCursorLeft(imgMinimize, imgMinimizeHover, tmrHideMinimize);
}

void paintOuterBorder(QPainter &painter, const QRectF &windowRect, int corner)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(outline(), 1));
    painter.drawRoundedRect(windowRect.adjusted(0.5, 0.5, -0.5, -0.5), corner - 0.5, corner - 0.5);
    painter.setPen(QPen(QColor(255, 255, 255, 26), 1));
    painter.drawRoundedRect(windowRect.adjusted(1.5, 1.5, -1.5, -1.5), corner - 1.5, corner - 1.5);
    painter.restore();
}

void paintFrameEdges(QPainter &painter, const QRect &windowRect)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const frmBack back(ratio);
    const int sideHeight = windowRect.height() - kFrameTop - kBottomHeight;
    if (sideHeight > 0) {
        painter.drawPixmap(windowRect.left(), windowRect.top() + kFrameTop, back.imgL(sideHeight));
        painter.drawPixmap(windowRect.right() + 1 - kEdgeWidth, windowRect.top() + kFrameTop, back.imgR(sideHeight));
    }
    painter.drawPixmap(windowRect.left(), windowRect.bottom() + 1 - kBottomHeight, back.imgBottom(windowRect.width()));
    // A soft shadow under the menu bar sets the content a little below the frame.
    QLinearGradient shadow(QPointF(0, windowRect.top() + kFrameTop), QPointF(0, windowRect.top() + kFrameTop + 8));
    shadow.setColorAt(0, QColor(0, 0, 0, 70));
    shadow.setColorAt(1, QColor(0, 0, 0, 0));
    painter.fillRect(
        QRect(windowRect.left() + kEdgeWidth, windowRect.top() + kFrameTop, windowRect.width() - 2 * kEdgeWidth, 8),
        shadow);
    paintOuterBorder(painter, QRectF(windowRect));
}

QRegion roundedMask(const QSize &size, int corner)
{
    const int w = size.width();
    const int h = size.height();
    const int r = std::clamp(corner, 0, std::min(w, h) / 2);
    QRegion region(0, r, w, std::max(0, h - 2 * r));
    // Row by row through the corner arcs, each row cut where the circle passes its middle.
    for (int row = 0; row < r; ++row) {
        const double dy = r - row - 0.5;
        const int inset = static_cast<int>(std::lround(r - std::sqrt(static_cast<double>(r) * r - dy * dy)));
        region += QRegion(inset, row, w - 2 * inset, 1);
        region += QRegion(inset, h - 1 - row, w - 2 * inset, 1);
    }
    return region;
}

const QPixmap &BackdropCache::picture(const QSize &size, qreal ratio)
{
    const QSize pixels = (QSizeF(size) * ratio).toSize();
    if (!m_picture.isNull() && m_picture.size() == pixels && m_picture.devicePixelRatio() == ratio)
        return m_picture;
    if (m_tile.isNull() || m_tile.devicePixelRatio() != ratio)
        m_tile = frmBack(ratio).backgroundTile();
    m_picture = QPixmap(pixels);
    m_picture.setDevicePixelRatio(ratio);
    m_picture.fill(Qt::transparent);
    QPainter painter(&m_picture);
    const QRect area(QPoint(0, 0), size);
    PaintBack(painter, area, m_tile);
    paintFrameEdges(painter, area);
    return m_picture;
}

void BackdropCache::paint(QPainter &painter, const QRect &exposed, const QSize &size, qreal ratio)
{
    const QPixmap &whole = picture(size, ratio);
    const QRectF source(QPointF(exposed.topLeft()) * ratio, QSizeF(exposed.size()) * ratio);
    painter.drawPixmap(QRectF(exposed), whole, source);
}

void paintSkinnedBackground(QPainter &painter, const QWidget &window, QPixmap &tile)
{
    const qreal ratio = window.devicePixelRatioF();
    if (tile.isNull() || tile.devicePixelRatio() != ratio)
        tile = frmBack(ratio).backgroundTile();
    PaintBack(painter, window.rect(), tile);
    paintOuterBorder(painter, QRectF(window.rect()));
}

} // namespace corvanel::skin
