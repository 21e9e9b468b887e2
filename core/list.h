// Typed pointer lists: the collection behind every owner in the program.
//
// TZAVMultiList is a facade that forwards to the one implementation, TZAVStaticList, an array
// that grows in steps of GrowSize. A list destroys its elements only through Clear, Delete and
// DeleteAt; Remove, RemoveAt and the list's destructor leave them alone.
//
// ZAV_TRAVERSE walks a list by index and raises "Infinite list traversal detected" when a body
// steps its index back so that the same index is visited twice in a row.
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

#include "core/report.h"

// Whether Remove takes the first equal element only, or every one.
enum class TZAVRemoveCount
{
    FirstOnly,
    Every,
};

template <typename T> class TZAVStaticList
{
public:
    explicit TZAVStaticList(bool array_elements = false, T null_value = T{})
        : ArrayElements(array_elements), NullValue(null_value)
    {
        ReportTrace("TZAVStaticList::TZAVStaticList()");
    }

    int32_t Count() const { return static_cast<int32_t>(Elements.size()); }
    int32_t Capacity() const { return static_cast<int32_t>(Elements.capacity()); }
    int32_t GetGrowSize() const { return GrowSize; }

    bool Get(T& out, int32_t index) const
    {
        if (index < 0 || index >= Count()) {
            out = NullValue;
            return false;
        }
        out = Elements[index];
        return true;
    }

    bool Add(T item) { return Assign(Count(), item); }

    // Writing past Count pads with zero values; true even when growth was refused.
    bool Assign(int32_t index, T item)
    {
        if (index < 0)
            return false;
        ReportTrace("TZAVStaticList - Assign - 1");
        if (GrowToFit(index))
            Elements[index] = item;
        return true;
    }

    bool InsertAt(T item, int32_t index)
    {
        if (index == Count())
            return Add(item);
        if (index < 0 || index > Count())
            return false;
        if (Count() == Capacity()) {
            if (GrowSize < 1)
                return false;
            SetCapacity(Capacity() + GrowSize);
        }
        Elements.insert(Elements.begin() + index, item);
        return true;
    }

    int32_t IndexOf(const T& item) const
    {
        for (int32_t i = 0; i < Count(); i++)
            if (Elements[i] == item)
                return i;
        return -1;
    }

    int32_t Remove(const T& item, TZAVRemoveCount count)
    {
        SetCurrent(-1);
        int32_t removed = 0;
        for (int32_t i = 0; i < Count();) {
            if (!(Elements[i] == item)) {
                i++;
                continue;
            }
            RemoveAt(i);
            removed++;
            if (count == TZAVRemoveCount::FirstOnly)
                return 1;
        }
        return removed;
    }

    bool Delete(const T& item)
    {
        SetCurrent(-1);
        int32_t index = IndexOf(item);
        return index >= 0 && DeleteAt(index);
    }

    bool DeleteAt(int32_t index)
    {
        if (index < 0 || index >= Count())
            return false;
        Destroy(Elements[index]);
        return RemoveAt(index);
    }

    bool RemoveAt(int32_t index)
    {
        if (index < 0 || index >= Count())
            return false;
        Elements.erase(Elements.begin() + index);
        // The iteration position now names the element that followed the removed one.
        Position = index;
        return true;
    }

    void Clear()
    {
        SetCurrent(-1);
        for (T& element : Elements)
            Destroy(element);
        Elements.clear();
        Position = 0;
        SetCapacity(GrowSize);
    }

    bool SetCurrent(int32_t index)
    {
        if (index >= 0 && index < Count()) {
            Current = index;
            return true;
        }
        Current = -1;
        return index == -1;
    }

    int32_t GetCurrent()
    {
        if (Current < 0 || Current >= Count())
            Current = -1;
        return Current;
    }

    bool GetCurrentItem(T& out) { return Get(out, GetCurrent()); }

    bool First(T& out)
    {
        Position = 0;
        return Get(out, Position);
    }

    bool Next(T& out)
    {
        if (Position < Count())
            Position++;
        return Get(out, Position);
    }

    void SetGrowSize(int32_t grow_size) { GrowSize = grow_size; }

    // Only ever enlarges, and then to exactly `capacity` slots.
    void SetCapacity(int32_t capacity)
    {
        if (capacity <= Capacity())
            return;
        ReportTrace("SetCapacity - nCapacity = %d, max_size() = %d\n", capacity,
                    static_cast<int>(MaxCount()));
        Elements.reserve(static_cast<size_t>(capacity));
    }

    bool GrowToFit(int32_t index)
    {
        ReportTrace("GrowToFit - 1");
        if (GrowSize < 1 || index < 0)
            return false;
        int64_t capacity = Capacity();
        if (capacity <= index)
            capacity += ((index - capacity) / GrowSize + 1) * GrowSize;
        if (capacity > MaxCount())
            capacity = MaxCount();
        SetCapacity(static_cast<int32_t>(capacity));
        if (Count() <= index)
            Elements.resize(static_cast<size_t>(index) + 1, T{});
        return true;
    }

    // Direct view of the elements, for owners that walk large lists in hot loops.
    T* Data() { return Elements.data(); }
    const T* Data() const { return Elements.data(); }

private:
    static constexpr int64_t MaxCount() { return INT32_MAX; }

    void Destroy(T& element)
    {
        if constexpr (std::is_pointer_v<T> && !std::is_void_v<std::remove_pointer_t<T>>) {
            if (element == nullptr)
                return;
            if (ArrayElements)
                delete[] element;
            else
                delete element;
            element = nullptr;
        }
    }

    std::vector<T> Elements;
    int32_t GrowSize = 1;
    int32_t Current = -1;
    int32_t Position = 0;
    bool ArrayElements;
    T NullValue;
};

template <typename T> class TZAVMultiList
{
public:
    explicit TZAVMultiList(bool array_elements = false) : List(array_elements, T{})
    {
        ReportTrace("TZAVMultiList::TZAVMultiList(%d)", ListType);
    }
    TZAVMultiList(const TZAVMultiList&) = delete;
    TZAVMultiList& operator=(const TZAVMultiList&) = delete;

    int32_t Count() const { return Valid() ? List.Count() : 0; }
    bool Get(T& out, int32_t index) const
    {
        if (Valid())
            return List.Get(out, index);
        out = NullValue;
        return false;
    }
    bool Add(T item) { return Valid() && List.Add(item); }
    bool Assign(int32_t index, T item) { return Valid() && List.Assign(index, item); }
    bool InsertAt(T item, int32_t index) { return Valid() && List.InsertAt(item, index); }
    int32_t IndexOf(const T& item) const { return Valid() ? List.IndexOf(item) : -1; }
    int32_t Remove(const T& item, TZAVRemoveCount count) { return Valid() ? List.Remove(item, count) : 0; }
    bool Delete(const T& item) { return Valid() && List.Delete(item); }
    bool DeleteAt(int32_t index) { return Valid() && List.DeleteAt(index); }
    bool RemoveAt(int32_t index) { return Valid() && List.RemoveAt(index); }
    void Clear()
    {
        if (Valid())
            List.Clear();
    }
    bool SetCurrent(int32_t index) { return Valid() ? List.SetCurrent(index) : true; }
    int32_t GetCurrent() { return Valid() ? List.GetCurrent() : -1; }
    bool GetCurrentItem(T& out) { return Get(out, GetCurrent()); }
    bool First(T& out)
    {
        if (Valid())
            return List.First(out);
        out = NullValue;
        return false;
    }
    bool Next(T& out)
    {
        if (Valid())
            return List.Next(out);
        out = NullValue;
        return false;
    }
    void SetGrowSize(int32_t grow_size)
    {
        if (Valid())
            List.SetGrowSize(grow_size);
    }
    void SetCapacity(int32_t capacity)
    {
        if (Valid())
            List.SetCapacity(capacity);
    }
    bool GrowToFit(int32_t index) { return Valid() && List.GrowToFit(index); }
    int32_t Capacity() const { return Valid() ? List.Capacity() : 0; }

    T* Data() { return List.Data(); }
    const T* Data() const { return List.Data(); }

    // Range-for over the elements; the list must not change during the loop.
    T* begin() { return List.Data(); }
    T* end() { return List.Data() + Count(); }
    const T* begin() const { return List.Data(); }
    const T* end() const { return List.Data() + Count(); }

    // 0 selects TZAVStaticList; every other value makes each operation fail.
    int32_t ListType = 0;

private:
    bool Valid() const
    {
        if (ListType == 0)
            return true;
        ReportTrace("Invalid ListType (%d)", ListType);
        return false;
    }

    TZAVStaticList<T> List;
    T NullValue{};
};

// Raises the traversal error when `index` is visited twice in a row; `guard` trails it by one.
inline void GuardTraversal(int32_t index, int32_t& guard, const char* type_text, const char* item_text,
                           const char* list_text)
{
    if (index == guard)
        ReportError("Infinite list traversal detected %s,%s,%s", type_text, item_text, list_text);
    guard++;
}

// for each element by index: `item` is the element, `item##_index` its index. A body that steps
// the index back makes the walk visit an index twice in a row, which raises the traversal error;
// a body that removes an element ends the walk early instead (the count is taken at the start).
#define ZAV_TRAVERSE(Type, item, list)                                                                       \
    for (int32_t item##_index = 0, item##_count = (list).Count(), item##_guard = -1;                         \
         item##_index < item##_count; ++item##_index)                                                        \
        if (Type item{}; !(list).Get(item, item##_index))                                                    \
            break;                                                                                           \
        else if (GuardTraversal(item##_index, item##_guard, #Type, #item, #list); false) {                   \
        } else
