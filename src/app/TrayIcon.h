#pragma once
// The notification-area icon: double click shows the main window, the context click asks
// for the tray pop-up menu. Where the desktop has no tray the icon is never shown, and the
// main window must then not hide itself to the tray (it could not be brought back).
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

namespace corvanel::app {

class TrayIcon : public QObject
{
    Q_OBJECT

public:
    explicit TrayIcon(QObject *parent = nullptr);
    ~TrayIcon() override;

    // Whether the desktop offers a notification area.
    static bool available();

    // Adds the icon (window load) and removes it (shutdown).
    void show();
    void hide();
    bool isVisible() const;

    QSystemTrayIcon *icon() const { return m_icon.get(); }

    // The shell's notification, as a test or the icon itself delivers it.
    void handleActivation(QSystemTrayIcon::ActivationReason reason);

signals:
    void showRequested();
    void popupRequested();

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

} // namespace corvanel::app
