#pragma once
// The controls of the simulator window, each drawn in the window's artwork: the screen's
// title bar and menu list, the two buttons and the wheel.
#include "MenuListModel.h"

#include <QColor>
#include <QLabel>
#include <QPointF>
#include <QWidget>

#include <functional>

namespace corvanel::simulator {

// The title bar of the screen (lblTitle); its colour follows the screen's.
class ScreenTitle : public QLabel
{
    Q_OBJECT
public:
    explicit ScreenTitle(QWidget *parent = nullptr);
    void setScreenColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_screen;
};

// The menu list (lstMenu): the entries of the menu list model, the highlighted one inverted,
// an arrow on entries that lead to another menu, and a scroll bar when they do not all fit.
class MenuScreen : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRowHeight = 22;

    MenuScreen(MenuListModel &list, QWidget *parent = nullptr);

    // Which entries get an arrow.
    void setOpensMenu(std::function<bool(const QString &)> opensMenu) { m_opensMenu = std::move(opensMenu); }
    // The first entry in view.
    int topRow() const { return m_top; }
    int visibleRows() const;

signals:
    // An entry was double-clicked (after the press highlighted it).
    void activated();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void keepHighlightInView();
    void paintScrollBar(QPainter &painter, const QColor &color);
    int rowAt(const QPointF &position) const;

    MenuListModel &m_list;
    std::function<bool(const QString &)> m_opensMenu;
    int m_top = 0;
};

// A button of the wheel (lblMenu, lblSelect): reports press, release and click. The round
// one only takes presses inside its circle.
class PodButton : public QLabel
{
    Q_OBJECT
public:
    enum class Shape { Caption, Round };
    PodButton(const QString &name, Shape shape, const QString &text, QWidget *parent = nullptr);

    bool isPressed() const { return m_pressed; }
    // Free text the window keeps with the button (the menu button holds its press time here).
    QString Tag;

signals:
    void pressed();
    void released();
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool hits(const QPointF &at) const;

    Shape m_shape;
    bool m_pressed = false;
};

// The wheel (PicScrollWheel): reports every press and every movement of the pointer over it,
// in pixels from its top-left corner.
class WheelPad : public QWidget
{
    Q_OBJECT
public:
    explicit WheelPad(QWidget *parent = nullptr);

signals:
    void mouseDown(const QPointF &at);
    void mouseMove(Qt::MouseButtons buttons, const QPointF &at);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
};

} // namespace corvanel::simulator
