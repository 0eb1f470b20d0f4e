#pragma once
// A small frameless window with the program's skin: the start-up and loading windows.
#include <QPixmap>
#include <QWidget>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace corvanel::skin {

class frmBack;

class SkinnedWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SkinnedWindow(const QString &title, QWidget *parent = nullptr);
    ~SkinnedWindow() override;

    QLabel *lblCaption = nullptr;
    // The progress row of a long step: made by addProgressRow, hidden until setProgressShown.
    QProgressBar *barProgress = nullptr;
    QPushButton *cmdCancel = nullptr;

    // Shows or hides the progress row, growing the window to make room for it.
    void setProgressShown(bool shown);

protected:
    QLabel *addLine(const QString &name, const QString &text);
    void addProgressRow();
    void PaintBack();
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

    std::unique_ptr<frmBack> m_back;
    QPixmap m_tile; // the backdrop tile for the current scale factor
};

} // namespace corvanel::skin
