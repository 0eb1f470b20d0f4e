#include "CaptionBar.h"

#include "SkinFrame.h"
#include "frmBack.h"

#include <QLabel>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace corvanel::skin {

namespace {

constexpr int kIconSize = 20;
constexpr int kMargin = 9;

QLabel *picture(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    return label;
}

bool leftButton(QEvent *event)
{
    return static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
}

} // namespace

CaptionBar::CaptionBar(QWidget *window, const QString &caption) : QObject(window), m_window(window)
{
    const frmBack back(window->devicePixelRatioF());
    m_close = back.imgClose();
    m_closeLit = back.imgCloseHover();
    imgCaption = picture(QStringLiteral("imgCaption"), window);
    imgPod = picture(QStringLiteral("imgPod"), window);
    imgPod->setPixmap(back.podIcon());
    lblCaption = new CaptionLabel(caption, window);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    imgClose = picture(QStringLiteral("imgClose"), window);
    imgClose->setPixmap(m_close);
    imgClose->setCursor(Qt::PointingHandCursor);
    imgClose->setToolTip(QStringLiteral("Close"));
    imgClose->setAttribute(Qt::WA_Hover);
    for (QLabel *watched : {imgCaption, imgPod, lblCaption, imgClose})
        watched->installEventFilter(this);
    window->installEventFilter(this);
    layOut();
}

void CaptionBar::layOut()
{
    const int width = m_window->width();
    imgCaption->setGeometry(0, 0, width, kHeight);
    imgCaption->setPixmap(frmBack(m_window->devicePixelRatioF()).captionPicture(width));
    imgCaption->lower();
    imgPod->setGeometry(kMargin, (kHeight - kIconSize) / 2, kIconSize, kIconSize);
    lblCaption->setGeometry(kMargin + kIconSize + 8, 0, std::max(0, width - 80), kHeight);
    imgClose->setGeometry(width - kMargin - kIconSize, (kHeight - kIconSize) / 2, kIconSize, kIconSize);
    m_window->setMask(roundedMask(m_window->size()));
}

bool CaptionBar::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == m_window) {
        if (type == QEvent::Resize)
            layOut();
        return false;
    }
    if ((watched == imgCaption || watched == lblCaption) && type == QEvent::MouseButtonPress && leftButton(event)) {
        if (QWindow *handle = m_window->windowHandle())
            handle->startSystemMove();
        return true;
    }
    if (watched == imgPod && type == QEvent::MouseButtonDblClick && leftButton(event)) {
        emit closeRequested();
        return true;
    }
    if (watched == imgClose) {
        if (type == QEvent::HoverEnter) {
            imgClose->setPixmap(m_closeLit);
        } else if (type == QEvent::HoverLeave) {
            imgClose->setPixmap(m_close);
        } else if (type == QEvent::MouseButtonRelease && leftButton(event) &&
                   imgClose->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint())) {
            emit closeRequested();
            return true;
        }
    }
    return false;
}

} // namespace corvanel::skin
