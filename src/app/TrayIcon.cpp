#include "TrayIcon.h"

#include "frmBack.h"

namespace corvanel::app {

using namespace corvanel::skin;

TrayIcon::TrayIcon(QObject *parent) : QObject(parent), m_icon(std::make_unique<QSystemTrayIcon>())
{
    m_icon->setIcon(frmBack::appIcon());
    m_icon->setToolTip(QStringLiteral("Corvanel"));
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, &TrayIcon::handleActivation);
}

TrayIcon::~TrayIcon()
{
    hide();
}

bool TrayIcon::available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::show()
{
    if (available())
        m_icon->show();
}

void TrayIcon::hide()
{
    m_icon->hide();
}

bool TrayIcon::isVisible() const
{
    return m_icon->isVisible();
}

void TrayIcon::handleActivation(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        emit showRequested();
        break;
    case QSystemTrayIcon::Context:
        emit popupRequested();
        break;
    default:
        break;
    }
}

} // namespace corvanel::app
