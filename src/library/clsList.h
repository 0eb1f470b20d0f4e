#pragma once
#include <QString>
#include <cstdint>
#include <vector>

namespace corvanel::library {

// The program's list of strings: insertion order until sorted, one remembered position,
// two sorts and a linear search. Indexes are 0-based; -99 means "no selection".
class clsList
{
public:
    static constexpr int NoSelection = -99;

    bool Selected(int Index) const { return Index == m_listIndex; }
    void setSelected(int Index, bool vData);

    void AddItem(const QString &Item) { m_items.push_back(Item); }
    void AddItem(QString &&Item) { m_items.push_back(std::move(Item)); }

    QString Text() const;
    void setText(const QString &vNewValue);

    void Clear();
    int ListCount() const { return static_cast<int>(m_items.size()); }
    int ListIndex() const { return m_listIndex; }
    void setListIndex(int vNewValue);

    void RemoveItem(int Index);
    QString List(int Index) const;
    void setList(int Index, const QString &NewVal);

    QString GetWholeList(const QString &PrintNumbers = QString()) const;
    void BuBBleSort();
    void InsertionSort();
    void SwapValues(int Index1, int Index2);
    int LinearSearch(const QString &SearchFor, int32_t CompareType = 0) const;
    int BinarySearch(const QString &SearchFor, int UpLimit, int DownLimit, bool ValSearch) const;

    // Copies to any list with Clear() and AddItem(QString).
    template <typename Other> void CopyToList(Other &OtherList) const
    {
        OtherList.Clear();
        for (const QString &item : m_items)
            OtherList.AddItem(item);
    }
    // Copies from any list with ListCount() and List(int).
    template <typename Other> void CopyFromList(const Other &OtherList)
    {
        Clear();
        const int count = OtherList.ListCount();
        for (int i = 0; i < count; ++i)
            AddItem(OtherList.List(i));
    }

    const std::vector<QString> &items() const { return m_items; }
    void reserve(std::size_t n) { m_items.reserve(n); }

private:
    bool valid(int Index) const { return Index >= 0 && Index < ListCount(); }

    std::vector<QString> m_items;
    int m_listIndex = NoSelection;
};

} // namespace corvanel::library
