#include "SkinnedWindow.h"

#include "SkinStyle.h"

#include "SkinFrame.h"
#include "frmBack.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

namespace corvanel::skin {

namespace {
constexpr int PlainHeight = 170;
constexpr int ProgressRowHeight = 40;
} // namespace

SkinnedWindow::SkinnedWindow(const QString &title, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_back(std::make_unique<frmBack>())
{
    setWindowTitle(title);
    setWindowIcon(m_back->appIcon());
    setFixedSize(440, PlainHeight);
    skin::applyStyle(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 24);
    layout->setSpacing(8);
    auto *icon = new QLabel(this);
    icon->setPixmap(m_back->appIcon().pixmap(40, 40));
    lblCaption = new QLabel(this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    auto *top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(icon);
    top->addWidget(lblCaption, 1);
    layout->addLayout(top);
}

SkinnedWindow::~SkinnedWindow() = default;

QLabel *SkinnedWindow::addLine(const QString &name, const QString &text)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    label->setWordWrap(true);
    static_cast<QVBoxLayout *>(layout())->addWidget(label);
    return label;
}

void SkinnedWindow::addProgressRow()
{
    auto *row = new QHBoxLayout;
    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setTextVisible(false);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    row->addWidget(barProgress, 1);
    row->addWidget(cmdCancel);
    static_cast<QVBoxLayout *>(layout())->addLayout(row);
    barProgress->hide();
    cmdCancel->hide();
}

void SkinnedWindow::setProgressShown(bool shown)
{
    if (!barProgress)
        return;
    setFixedSize(width(), PlainHeight + (shown ? ProgressRowHeight : 0));
    barProgress->setVisible(shown);
    cmdCancel->setVisible(shown);
}

void SkinnedWindow::PaintBack()
{
    update();
}

void SkinnedWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintSkinnedBackground(painter, *this, m_tile);
}

void SkinnedWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    setMask(roundedMask(size()));
}

void SkinnedWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        if (windowHandle())
            windowHandle()->startSystemMove();
}

} // namespace corvanel::skin
