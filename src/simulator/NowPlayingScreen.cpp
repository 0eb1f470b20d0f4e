#include "NowPlayingScreen.h"

#include "CoverView.h"
#include "frmiPodArtwork.h"

#include <QPainter>
#include <algorithm>

namespace corvanel::simulator {

namespace {

constexpr int kMargin = 6;
constexpr int kBarHeight = 6;

} // namespace

NowPlayingScreen::NowPlayingScreen(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picNowPlaying"));
    m_cover = new corvanel::skin::CoverView(QStringLiteral("picNowCover"), this);
}

void NowPlayingScreen::setNowPlaying(const BrowserLink::NowPlaying &now)
{
    m_now = now;
    m_cover->setCover(now.cover);
    update();
}

void NowPlayingScreen::setScreenColor(const QColor &color)
{
    m_screen = color;
    update();
}

void NowPlayingScreen::resizeEvent(QResizeEvent *)
{
    // The cover sits on the left above the bar, at most two fifths of the width so that the
    // texts keep room; they take the rest.
    const int above = height() - kBarHeight - 3 * kMargin;
    const int side = std::max(0, std::min(above, width() * 2 / 5));
    m_cover->setGeometry(kMargin, kMargin + (above - side) / 2, side, side);
}

void NowPlayingScreen::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_screen);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const int left = m_cover->geometry().right() + kMargin + 1;
    const QRectF texts(left, kMargin, width() - left - kMargin, height() - kBarHeight - 3 * kMargin);
    const QString lines[] = {m_now.title, m_now.artist, m_now.album};
    QFont font = this->font();
    const qreal lineHeight = texts.height() / 3;
    for (int i = 0; i < 3; ++i) {
        font.setBold(i == 0);
        painter.setFont(font);
        painter.setPen(artwork::screenText());
        const QRectF line(texts.left(), texts.top() + i * lineHeight, texts.width(), lineHeight);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetricsF(font).elidedText(lines[i], Qt::ElideRight, line.width()));
    }
    const QRectF bar(kMargin, height() - kMargin - kBarHeight, width() - 2 * kMargin, kBarHeight);
    painter.setPen(artwork::screenText());
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar.adjusted(0.5, 0.5, -0.5, -0.5));
    const double filled = std::clamp(m_now.position, 0.0, 1.0) * bar.width();
    painter.fillRect(QRectF(bar.left(), bar.top(), filled, bar.height()), artwork::screenText());
}

} // namespace corvanel::simulator
