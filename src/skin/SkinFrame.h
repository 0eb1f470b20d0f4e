#pragma once
// The top of a skinned frameless window: the caption bar (icon, caption text, minimise,
// maximise and close buttons that light up under the mouse) and the label menu bar.
// The window itself paints the background tile and the frame edges around its content.
#include "frmBack.h"

#include <QLabel>
#include <QPixmap>
#include <QPoint>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <optional>

#include <functional>

class QTimer;

namespace corvanel::skin {

// A widget that shows one skin picture at its own size.
class SkinImage : public QWidget
{
    Q_OBJECT

public:
    explicit SkinImage(const QString &name, QWidget *parent = nullptr);

    void setPixmap(const QPixmap &pixmap);
    QPixmap pixmap() const { return m_pixmap; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_pixmap;
};

// The caption text, drawn with a soft shadow so it stays readable on the metal.
class CaptionLabel : public QLabel
{
    Q_OBJECT

public:
    explicit CaptionLabel(const QString &text, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// One label of the menu bar: flat, sunken while the mouse button is down on it. The text
// keeps its "&" access key, which is drawn underlined.
class MenuBarLabel : public QWidget
{
    Q_OBJECT

public:
    MenuBarLabel(const QString &name, const QString &text, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    bool isPressed() const { return m_pressed; }
    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QString m_text;
    bool m_pressed = false;
    bool m_hovered = false;
};

class SkinFrame : public QWidget
{
    Q_OBJECT

public:
    explicit SkinFrame(QWidget *parent = nullptr);

    // The frmMenus menu a menu bar label opens: mnuFile gives "mnuFIle", and so on.
    static QString menuNameFor(const QString &labelName);

    // Tests replace the cursor position; the default is QCursor::pos().
    void setCursorPositionSource(std::function<QPoint()> source);

    SkinImage *imgCaption = nullptr;
    SkinImage *imgPod = nullptr;
    CaptionLabel *lblCaption = nullptr;
    SkinImage *imgMinimize = nullptr;
    SkinImage *imgMinimizeHover = nullptr;
    SkinImage *imgClose = nullptr;
    SkinImage *imgCloseHover = nullptr;
    SkinImage *imgMaximize = nullptr;
    MenuBarLabel *mnuFile = nullptr;
    MenuBarLabel *mnuOptions = nullptr;
    MenuBarLabel *mnuExtras = nullptr;
    MenuBarLabel *mnuHelp = nullptr;
    QTimer *tmrHideMinimize = nullptr;
    QTimer *tmrHideClose = nullptr;

public slots:
    void tmrHideClose_Timer();
    void tmrHideMinimize_Timer();

signals:
    // Window icon clicked; point is the window's left edge under the icon, global.
    void iconClicked(const QPoint &bottomLeftGlobal);
    void iconDoubleClicked();
    // A menu bar label clicked: the frmMenus menu name and the label's bottom-left, global.
    void menuLabelClicked(const QString &menuName, const QPoint &globalBottomLeft);
    void closeRequested();
    void minimizeRequested();
    // A window drag began from the caption bar.
    void dragStarted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void layoutChildren();
    void refreshPictures();
    void refreshIfRatioChanged();
    void startDrag();
    void showLit(SkinImage *lit, QTimer *timer);
    void hideLitWhenCursorLeft(SkinImage *button, SkinImage *lit, QTimer *timer);
    void onMenuLabel(MenuBarLabel *label);
    bool handlePodEvent(QEvent *event);

    frmBack m_back;
    QPixmap m_menuBar;
    qreal m_ratio = 0;
    int m_captionWidth = -1;
    std::function<QPoint()> m_cursorPosition;
    QObject *m_pressedButton = nullptr;
    bool m_podPressed = false;
    std::optional<quint64> m_lastPodClick; // the event time of the icon's last click, in ms
    QWidget *m_border = nullptr;
};

// Draws the left, right and bottom frame edges of a window of size windowRect and its
// rounded outer border; the content sits inside kEdgeWidth / kBottomHeight.
void paintFrameEdges(QPainter &painter, const QRect &windowRect);
// The rounded outer border alone (the caption bar draws its own part with it).
void paintOuterBorder(QPainter &painter, const QRectF &windowRect, int corner = skin::kCornerRadius);
// The window's shape with rounded corners, for QWidget::setMask.
QRegion roundedMask(const QSize &size, int corner = skin::kCornerRadius);

// A skinned window's background (the tiled backdrop, the frame edges and the border), drawn
// once for each size and scale factor and then only copied: the window repaints small parts
// of itself many times a second while a song plays.
class BackdropCache
{
public:
    // Paints the exposed part of a window of `size` at `ratio`.
    void paint(QPainter &painter, const QRect &exposed, const QSize &size, qreal ratio);
    // The whole picture, made or remade as needed.
    const QPixmap &picture(const QSize &size, qreal ratio);

private:
    QPixmap m_picture;
    QPixmap m_tile;
};

// The main window's tiled background and rounded border over a whole small window; `tile`
// keeps the tile made for the window's scale factor between paints.
void paintSkinnedBackground(QPainter &painter, const QWidget &window, QPixmap &tile);

} // namespace corvanel::skin
