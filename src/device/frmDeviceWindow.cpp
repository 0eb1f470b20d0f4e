#include "frmDeviceWindow.h"

#include "CaptionBar.h"
#include "SkinFrame.h"
#include "SkinStyle.h"
#include "frmBack.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvanel::device {

using namespace corvanel::skin;

DeviceWindow::DeviceWindow(const char *name, const QString &caption, const QSize &size, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QLatin1String(name));
    setWindowTitle(caption);
    setWindowIcon(frmBack::appIcon());
    skin::applyStyle(this);
    setFixedSize(size);
    m_caption = new skin::CaptionBar(this, caption);
    connect(m_caption, &skin::CaptionBar::closeRequested, this, &QDialog::reject);
    m_content = new QVBoxLayout(this);
    m_content->setContentsMargins(18, skin::CaptionBar::kHeight + 12, 18, 16);
    m_content->setSpacing(8);
}

QLabel *DeviceWindow::addLabel(const char *name, const QString &text)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    m_content->addWidget(label);
    return label;
}

QPushButton *DeviceWindow::makeButton(const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setCursor(Qt::PointingHandCursor);
    button->setAutoDefault(false);
    button->setMinimumWidth(84);
    m_buttons << button;
    return button;
}

QHBoxLayout *DeviceWindow::addButtonRow(std::initializer_list<QPushButton *> buttons)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton *button : buttons)
        row->addWidget(button);
    m_content->addStretch(1);
    m_content->addLayout(row);
    return row;
}

QLabel *DeviceWindow::addCheckLine(QCheckBox *&box, const char *boxName, const char *labelName, const QString &text)
{
    box = new QCheckBox(this);
    box->setObjectName(QLatin1String(boxName));
    box->setCursor(Qt::PointingHandCursor);
    auto *label = new QLabel(text, this);
    label->setObjectName(QLatin1String(labelName));
    label->setWordWrap(true);
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
    m_toggles.insert(label, box);
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(box, 0, Qt::AlignTop);
    row->addWidget(label, 1);
    m_content->addLayout(row);
    return label;
}

void DeviceWindow::setBusy(bool busy)
{
    m_busy = busy;
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
    for (QPushButton *button : std::as_const(m_buttons))
        button->setEnabled(!busy);
}

void DeviceWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintSkinnedBackground(painter, *this, m_tile);
}

bool DeviceWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (QCheckBox *box = m_toggles.value(watched, nullptr)) {
            box->setChecked(!box->isChecked());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace corvanel::device
