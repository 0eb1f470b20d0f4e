#pragma once
// The "Players" dialog: the list of external player programs. Every way of closing it stores
// the list and has the owner rebuild its player menu.
#include <QDialog>
#include <QPixmap>
#include <functional>

class QLabel;
class QListWidget;
class QPushButton;

namespace corvanel::playback {

class frmDefaultPlayer : public QDialog
{
    Q_OBJECT
public:
    // onUnload runs after the list has been stored: the owner's LoadPlayers.
    explicit frmDefaultPlayer(std::function<void()> onUnload, QWidget *parent = nullptr);
    ~frmDefaultPlayer() override;

    void cmdAdd_Click();
    void cmdRemovePlayer_Click();
    // The rows of the list, in order.
    QStringList players() const;

    // Every close (the close image, the logo's double click, Escape, the window manager)
    // ends here.
    void done(int result) override;

    QLabel *imgCaption = nullptr;
    QLabel *imgPod = nullptr;
    QLabel *lblCaption = nullptr;
    QLabel *imgClose = nullptr;
    QLabel *lblText = nullptr;
    QListWidget *lstPlayers = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdRemovePlayer = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();
    void Form_Unload();

    QPixmap m_tile; // the backdrop tile at the window's scale factor
    std::function<void()> m_onUnload;
    bool m_unloaded = false;
};

} // namespace corvanel::playback
