#include "frmEQ.h"

#include "Dialogs.h"
#include "FSound.h"
#include "SkinStyle.h"
#include "mdlEQ.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvanel::playback {

using namespace corvanel::platform;
using namespace corvanel::skin;

BassSlider::BassSlider(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picBass"));
    setFixedSize(302, 26);
    setCursor(Qt::PointingHandCursor);
}

void BassSlider::setShpBassWidth(int width)
{
    m_width = width;
    update();
}

void BassSlider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x55, 0x5d, 0x68));
    painter.drawRoundedRect(QRectF(rect()), 5, 5);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, QColor(0xf1, 0x9a, 0x3e));
    fill.setColorAt(1, QColor(0xc8, 0x6a, 0x18));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(0, 0, std::clamp(m_width, 0, width()), height()), 5, 5);
    painter.setPen(QPen(QColor(255, 255, 255, 140), 1, Qt::DashLine));
    painter.drawLine(150, 3, 150, height() - 3);
}

void BassSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit moved(qRound(event->position().x()));
}

void BassSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        emit moved(qRound(event->position().x()));
}

frmEQ::frmEQ(Equaliser &equaliser, QWidget *parent) : QWidget(parent, Qt::Tool), m_equaliser(equaliser)
{
    setObjectName(QStringLiteral("frmEQ"));
    setWindowTitle(QStringLiteral("EQ"));
    skin::applyStyle(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Bass"), this));
    picBass = new BassSlider(this);
    picBass->setShpBassWidth(widthForGain(m_equaliser.BassGain));
    row->addWidget(picBass);
    layout->addLayout(row);
    Command1 = new QPushButton(QStringLiteral("Command1"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    layout->addWidget(Command1, 0, Qt::AlignRight);
    connect(Command1, &QPushButton::clicked, this, &frmEQ::Command1_Click);
    connect(picBass, &BassSlider::moved, this, &frmEQ::picBass_MouseMove);
}

void frmEQ::Command1_Click()
{
    const int32_t id = m_equaliser.enableOnChannel();
    corvanel::platform::dialogs().message({QStringLiteral("Corvanel"), QString::number(id),
                                           corvanel::platform::MessageIcon::None,
                                           corvanel::platform::MessageButtons::Ok});
}

void frmEQ::picBass_MouseMove(int x)
{
    picBass->setShpBassWidth(x + 1);
    const float gain = gainForWidth(x + 1);
    m_equaliser.BassGain = gain;
    m_equaliser.SetEQ(4000.0f, 12.0f, gain);
}

} // namespace corvanel::playback
