#pragma once
// What the device tools' windows share: a frameless dialog with the program's style, icon,
// caption bar and tiled backdrop; check boxes whose captions are separate labels that toggle
// them when clicked; and the hourglass while the window's file work runs.
#include <QDialog>
#include <QHash>
#include <QPixmap>

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace corvanel::skin {
class CaptionBar;
}

namespace corvanel::device {

using namespace corvanel::skin;

class DeviceWindow : public QDialog
{
    Q_OBJECT

public:
    DeviceWindow(const char *name, const QString &caption, const QSize &size, QWidget *owner);

    skin::CaptionBar *captionBar() const { return m_caption; }

protected:
    // The content, laid out below the caption bar.
    QVBoxLayout *content() const { return m_content; }
    QLabel *addLabel(const char *name, const QString &text);
    QPushButton *makeButton(const char *name, const QString &caption);
    // A row of buttons, right-aligned, at the bottom.
    QHBoxLayout *addButtonRow(std::initializer_list<QPushButton *> buttons);
    // A check box with its caption as a label beside it; a click on the label toggles the box.
    QLabel *addCheckLine(QCheckBox *&box, const char *boxName, const char *labelName, const QString &text);
    // The hourglass over the window and its buttons off while file work runs.
    void setBusy(bool busy);
    bool busy() const { return m_busy; }

    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    skin::CaptionBar *m_caption = nullptr;
    QVBoxLayout *m_content = nullptr;
    QHash<QObject *, QCheckBox *> m_toggles;
    QList<QPushButton *> m_buttons;
    QPixmap m_tile;
    bool m_busy = false;
};

} // namespace corvanel::device
