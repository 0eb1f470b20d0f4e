#pragma once
// The equaliser window: one "Bass" slider on the playing song.
#include <QWidget>

class QLabel;
class QPushButton;

namespace corvanel::playback {

class Equaliser;

// The slider: a grey bar whose filled part (shpBass) shows the setting by its width.
class BassSlider : public QWidget
{
    Q_OBJECT
public:
    explicit BassSlider(QWidget *parent = nullptr);
    int shpBassWidth() const { return m_width; }
    void setShpBassWidth(int width);
    QSize sizeHint() const override { return {302, 26}; }

signals:
    void moved(int x);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    int m_width = 150;
};

class frmEQ : public QWidget
{
    Q_OBJECT
public:
    // The window drives the player's equaliser.
    explicit frmEQ(Equaliser &equaliser, QWidget *parent = nullptr);

    void Command1_Click();
    // A press or a drag at x on the slider: sets the width and the gain, then the band.
    void picBass_MouseMove(int x);

    BassSlider *picBass = nullptr;
    QPushButton *Command1 = nullptr;

private:
    Equaliser &m_equaliser;
};

} // namespace corvanel::playback
