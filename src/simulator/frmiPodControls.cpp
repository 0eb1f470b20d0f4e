#include "frmiPodControls.h"

#include "frmiPodArtwork.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace corvanel::simulator {

namespace {

QFont screenFont(const QFont &base)
{
    QFont font = base;
    font.setPixelSize(13);
    font.setBold(true);
    return font;
}

bool insideCircle(const QRect &box, const QPointF &at)
{
    const QPointF offset = at - QRectF(box).center();
    const double radius = std::min(box.width(), box.height()) / 2.0;
    return offset.x() * offset.x() + offset.y() * offset.y() <= radius * radius;
}

} // namespace

ScreenTitle::ScreenTitle(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("lblTitle"));
}

void ScreenTitle::setScreenColor(const QColor &color)
{
    m_screen = color;
    update();
}

void ScreenTitle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    artwork::paintTitleBar(painter, rect(), m_screen, text());
}

MenuScreen::MenuScreen(MenuListModel &list, QWidget *parent) : QWidget(parent), m_list(list)
{
    setObjectName(QStringLiteral("lstMenu"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&m_list, &MenuListModel::entriesChanged, this, [this] {
        m_top = 0;
        update();
    });
    connect(&m_list, &MenuListModel::highlightChanged, this, [this] {
        keepHighlightInView();
        update();
    });
    connect(&m_list, &MenuListModel::backColorChanged, this, qOverload<>(&QWidget::update));
}

int MenuScreen::visibleRows() const
{
    return std::max(1, height() / kRowHeight);
}

void MenuScreen::keepHighlightInView()
{
    const int row = m_list.highlighted();
    if (row < 0)
        return;
    if (row < m_top)
        m_top = row;
    else if (row >= m_top + visibleRows())
        m_top = row - visibleRows() + 1;
}

int MenuScreen::rowAt(const QPointF &position) const
{
    const int row = m_top + static_cast<int>(position.y()) / kRowHeight;
    return row < m_list.count() ? row : -1;
}

void MenuScreen::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor screen = m_list.backColor();
    painter.fillRect(rect(), screen);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QFont font = screenFont(this->font());
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const bool scrolls = m_list.count() > visibleRows();
    const int right = width() - (scrolls ? 9 : 0);
    const int last = std::min(m_list.count(), m_top + visibleRows());
    for (int row = m_top; row < last; ++row) {
        const QRect box(0, (row - m_top) * kRowHeight, right, kRowHeight);
        const bool lit = row == m_list.highlighted();
        const QColor ink = lit ? screen : artwork::screenText();
        if (lit)
            painter.fillRect(box, artwork::screenText());
        const QString &entry = m_list.entries()[row];
        const bool arrow = m_opensMenu && m_opensMenu(entry);
        const QRectF textBox = QRectF(box).adjusted(7, 0, arrow ? -18 : -5, 0);
        painter.setPen(ink);
        painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(entry, Qt::ElideRight, textBox.width()));
        if (arrow)
            artwork::paintChevron(painter, QPointF(box.right() - 8, box.center().y() + 0.5), ink);
    }
    if (scrolls)
        paintScrollBar(painter, artwork::screenText());
}

void MenuScreen::paintScrollBar(QPainter &painter, const QColor &color)
{
    const QRectF track(width() - 7.5, 2.5, 5, height() - 5);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(track);
    const double count = m_list.count();
    const double length = std::max(6.0, track.height() * visibleRows() / count);
    const double top = track.top() + (track.height() - length) * m_top / std::max(1.0, count - visibleRows());
    painter.fillRect(QRectF(track.left(), top, track.width(), length), color);
    painter.restore();
}

void MenuScreen::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        if (const int row = rowAt(event->position()); row >= 0)
            m_list.setHighlighted(row);
}

void MenuScreen::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rowAt(event->position()) >= 0)
        emit activated();
}

void MenuScreen::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    keepHighlightInView();
}

PodButton::PodButton(const QString &name, Shape shape, const QString &text, QWidget *parent)
    : QLabel(text, parent), m_shape(shape)
{
    setObjectName(name);
    setCursor(Qt::PointingHandCursor);
}

bool PodButton::hits(const QPointF &at) const
{
    return m_shape == Shape::Caption || insideCircle(rect(), at);
}

void PodButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_shape == Shape::Round) {
        artwork::paintSelectButton(painter, rect(), m_pressed);
        return;
    }
    QFont font = this->font();
    font.setPixelSize(11);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    painter.setFont(font);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(m_pressed ? QColor(0x6a, 0x71, 0x78) : QColor(0x9d, 0xa3, 0xa9));
    painter.drawText(rect(), Qt::AlignCenter, text());
}

void PodButton::mousePressEvent(QMouseEvent *event)
{
    // Outside the circle the press belongs to the wheel underneath.
    if (event->button() != Qt::LeftButton || !hits(event->position())) {
        event->ignore();
        return;
    }
    m_pressed = true;
    update();
    emit pressed();
}

void PodButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    update();
    const bool inside = rect().contains(event->position().toPoint()) && hits(event->position());
    emit released();
    if (inside)
        emit clicked();
}

WheelPad::WheelPad(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PicScrollWheel"));
    setMouseTracking(true);
}

void WheelPad::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    artwork::paintWheel(painter, rect());
}

void WheelPad::mousePressEvent(QMouseEvent *event)
{
    // The corners round the wheel are the body's: a press there moves the window.
    if (!insideCircle(rect(), event->position())) {
        event->ignore();
        return;
    }
    emit mouseDown(event->position());
}

void WheelPad::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMove(event->buttons(), event->position());
}

} // namespace corvanel::simulator
