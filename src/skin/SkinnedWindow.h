#pragma once
// A small frameless window with the program's skin: the start-up and loading windows.
#include <QPixmap>
#include <QWidget>
#include <memory>

class QLabel;

namespace corvanel::skin {

class frmBack;

class SkinnedWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SkinnedWindow(const QString &title, QWidget *parent = nullptr);
    ~SkinnedWindow() override;

    QLabel *lblCaption = nullptr;

protected:
    QLabel *addLine(const QString &name, const QString &text);
    void PaintBack();
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

    std::unique_ptr<frmBack> m_back;
    QPixmap m_tile; // the backdrop tile for the current scale factor
};

} // namespace corvanel::skin
