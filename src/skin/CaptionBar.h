#pragma once
// The caption bar of the program's smaller windows: the caption picture across the top, the
// logo, the caption text and the close image that lights up under the mouse. Dragging the
// caption moves the window; the close image and a double click on the logo ask to close it.
// It also keeps the window's rounded outline as the window changes size.
#include <QObject>
#include <QPixmap>

class QLabel;
class QWidget;

namespace corvanel::skin {

class CaptionBar : public QObject
{
    Q_OBJECT

public:
    static constexpr int kHeight = 30;

    CaptionBar(QWidget *window, const QString &caption);

    QLabel *imgCaption = nullptr;
    QLabel *imgPod = nullptr;
    QLabel *lblCaption = nullptr;
    QLabel *imgClose = nullptr;

signals:
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layOut();

    QWidget *m_window;
    QPixmap m_close;
    QPixmap m_closeLit;
};

} // namespace corvanel::skin
