#include "clsList.h"

#include <algorithm>

namespace corvanel::library {

void clsList::setSelected(int Index, bool vData)
{
    if (vData)
        m_listIndex = Index;
    else if (m_listIndex == Index)
        m_listIndex = NoSelection;
}

QString clsList::Text() const
{
    return valid(m_listIndex) ? m_items[static_cast<std::size_t>(m_listIndex)] : QString();
}

void clsList::setText(const QString &vNewValue)
{
    if (valid(m_listIndex))
        m_items[static_cast<std::size_t>(m_listIndex)] = vNewValue;
}

void clsList::Clear()
{
    m_items.clear();
    m_listIndex = NoSelection;
}

void clsList::setListIndex(int vNewValue)
{
    // The position is stored unchecked as long as the current one is not past the end
    // of the item array (which always keeps at least one slot).
    if (m_listIndex <= std::max(0, ListCount() - 1))
        m_listIndex = vNewValue;
}

void clsList::RemoveItem(int Index)
{
    if (!valid(Index))
        return;
    m_items.erase(m_items.begin() + Index);
    if (m_items.empty())
        m_listIndex = NoSelection;
}

QString clsList::List(int Index) const
{
    return valid(Index) ? m_items[static_cast<std::size_t>(Index)] : QString();
}

void clsList::setList(int Index, const QString &NewVal)
{
    if (valid(Index))
        m_items[static_cast<std::size_t>(Index)] = NewVal;
}

QString clsList::GetWholeList(const QString &PrintNumbers) const
{
    QString whole;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        QString line = PrintNumbers;
        line.replace(QStringLiteral("NUMBER"), QString::number(i + 1));
        line += m_items[i];
        // Leading empty lines vanish: while nothing is built yet, no separator is added.
        if (whole.isEmpty())
            whole = line;
        else
            whole += QStringLiteral("\r\n") + line;
    }
    return whole;
}

void clsList::BuBBleSort()
{
    // Adjacent exchanges only of strictly greater lower-cased items: a stable sort by that key.
    std::vector<std::pair<QString, QString>> keyed;
    keyed.reserve(m_items.size());
    for (QString &item : m_items)
        keyed.emplace_back(item.toLower(), std::move(item));
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
        return QString::compare(a.first, b.first, Qt::CaseSensitive) < 0;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        m_items[i] = std::move(keyed[i].second);
}

void clsList::InsertionSort()
{
    // Equal items are identical texts here, so stability cannot be observed.
    std::sort(m_items.begin(), m_items.end(),
              [](const QString &a, const QString &b) { return QString::compare(a, b, Qt::CaseSensitive) < 0; });
}

void clsList::SwapValues(int Index1, int Index2)
{
    if (valid(Index1) && valid(Index2))
        std::swap(m_items[static_cast<std::size_t>(Index1)], m_items[static_cast<std::size_t>(Index2)]);
}

int clsList::LinearSearch(const QString &SearchFor, int32_t CompareType) const
{
    const Qt::CaseSensitivity cs = CompareType == 1 ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].size() == SearchFor.size() && QString::compare(m_items[i], SearchFor, cs) == 0)
            return static_cast<int>(i);
    return -1;
}

int clsList::BinarySearch(const QString &SearchFor, int UpLimit, int DownLimit, bool ValSearch) const
{
    if (m_items.empty())
        return -1;
    int low = std::max(0, UpLimit);
    int high = DownLimit == NoSelection ? ListCount() - 1 : std::min(DownLimit, ListCount() - 1);
    if (low > high)
        return -1;
    const double wanted = SearchFor.toDouble();
    auto compare = [&](int index) {
        const QString &item = m_items[static_cast<std::size_t>(index)];
        if (ValSearch) {
            const double value = item.toDouble();
            return value < wanted ? -1 : (value > wanted ? 1 : 0);
        }
        return QString::compare(item, SearchFor, Qt::CaseSensitive);
    };
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const int c = compare(middle);
        if (c == 0)
            return middle;
        if (c < 0)
            low = middle + 1;
        else
            high = middle;
    }
    // When the limits meet, that position is the answer whether or not it matches.
    return low;
}

} // namespace corvanel::library
