#pragma once
// A square that shows a song's cover, scaled to fit and centred, or a neutral placeholder (a
// note on a soft grey tile) while there is none.
#include <QImage>
#include <QWidget>

namespace corvanel::skin {

class CoverView : public QWidget
{
    Q_OBJECT
public:
    explicit CoverView(const QString &name, QWidget *parent = nullptr);

    // A null image shows the placeholder.
    void setCover(const QImage &cover);
    const QImage &cover() const { return m_cover; }
    bool showsPlaceholder() const { return m_cover.isNull(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_cover;
    QImage m_scaled; // m_cover at the size last painted
};

} // namespace corvanel::skin
