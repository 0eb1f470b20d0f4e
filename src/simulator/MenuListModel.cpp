#include "MenuListModel.h"

namespace corvanel::simulator {

MenuListModel::MenuListModel(QObject *parent) : QObject(parent) {}

void MenuListModel::clear()
{
    setEntries({});
}

void MenuListModel::setEntries(const QStringList &entries)
{
    m_entries = entries;
    m_highlighted = -1;
    emit entriesChanged();
    emit highlightChanged(-1);
}

QString MenuListModel::entry(int index) const
{
    return index >= 0 && index < count() ? m_entries[index] : QString();
}

void MenuListModel::setHighlighted(int index)
{
    if (index < -1 || index >= count() || index == m_highlighted)
        return;
    m_highlighted = index;
    emit highlightChanged(index);
}

void MenuListModel::setBackColor(const QColor &color)
{
    if (color == m_backColor)
        return;
    m_backColor = color;
    emit backColorChanged(color);
}

} // namespace corvanel::simulator
