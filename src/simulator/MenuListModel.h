#pragma once
// The simulator's menu list without its widget: the entries, the highlighted one and the
// background colour. The menus fill it, the wheel moves its highlight, the window shows it.
#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>

namespace corvanel::simulator {

class MenuListModel : public QObject
{
    Q_OBJECT
public:
    explicit MenuListModel(QObject *parent = nullptr);

    // Empties the list (nothing is highlighted any more).
    void clear();
    // Replaces every entry at once; nothing is highlighted.
    void setEntries(const QStringList &entries);
    const QStringList &entries() const { return m_entries; }
    int count() const { return static_cast<int>(m_entries.size()); }
    QString entry(int index) const;

    // The highlighted position, -1 for none.
    int highlighted() const { return m_highlighted; }
    // A position outside the list is ignored; -1 takes the highlight away.
    void setHighlighted(int index);
    // The highlighted entry's text; empty when nothing is highlighted.
    QString text() const { return entry(m_highlighted); }

    QColor backColor() const { return m_backColor; }
    void setBackColor(const QColor &color);

signals:
    void entriesChanged();
    void highlightChanged(int index);
    void backColorChanged(const QColor &color);

private:
    QStringList m_entries;
    int m_highlighted = -1;
    // An unlit liquid-crystal screen.
    QColor m_backColor{0xa9, 0xb3, 0xa8};
};

} // namespace corvanel::simulator
