#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/hash_table.h"
#include "core/list.h"

namespace {

struct Counted
{
    explicit Counted(int* destroyed) : Destroyed(destroyed) {}
    virtual ~Counted() { ++*Destroyed; }
    int* Destroyed;
};

TEST(List, AssignPadsWithZeroValues)
{
    TZAVMultiList<int*> list;
    int value = 7;
    EXPECT_TRUE(list.Assign(5, &value));
    ASSERT_EQ(list.Count(), 6);
    for (int i = 0; i < 5; i++) {
        int* element = &value;
        EXPECT_TRUE(list.Get(element, i));
        EXPECT_EQ(element, nullptr);
    }
    int* last = nullptr;
    EXPECT_TRUE(list.Get(last, 5));
    EXPECT_EQ(last, &value);
    EXPECT_FALSE(list.Assign(-1, &value));
    EXPECT_EQ(list.Count(), 6);
}

TEST(List, GrowthFollowsGrowSize)
{
    TZAVMultiList<int> list;
    list.Add(1);
    EXPECT_EQ(list.Capacity(), 1);
    list.Add(2);
    EXPECT_EQ(list.Capacity(), 2);

    TZAVMultiList<int> stepped;
    stepped.SetGrowSize(10);
    for (int i = 0; i < 11; i++)
        stepped.Add(i);
    EXPECT_EQ(stepped.Capacity(), 20);
    stepped.SetCapacity(5); // never shrinks
    EXPECT_EQ(stepped.Capacity(), 20);

    TZAVMultiList<int> refused;
    refused.SetGrowSize(0);
    EXPECT_TRUE(refused.Add(3));
    EXPECT_EQ(refused.Count(), 0);
}

TEST(List, LookupsOutsideTheListFail)
{
    TZAVMultiList<int> list;
    list.Add(4);
    int out = 99;
    EXPECT_FALSE(list.Get(out, -1));
    EXPECT_EQ(out, 0);
    out = 99;
    EXPECT_FALSE(list.Get(out, 1));
    EXPECT_EQ(out, 0);
    EXPECT_FALSE(list.RemoveAt(1));
    EXPECT_FALSE(list.DeleteAt(-1));
    EXPECT_EQ(list.IndexOf(5), -1);

    TZAVMultiList<int> empty;
    EXPECT_EQ(empty.IndexOf(0), -1);
}

TEST(List, RemoveTakesEveryRepeatedItemOrOnlyTheFirst)
{
    for (TZAVRemoveCount count : {TZAVRemoveCount::Every, TZAVRemoveCount::FirstOnly}) {
        const bool first_only = count == TZAVRemoveCount::FirstOnly;
        TZAVMultiList<int> list;
        for (int v : {1, 2, 2, 2, 3, 2})
            list.Add(v);
        EXPECT_EQ(list.Remove(2, count), first_only ? 1 : 4);
        std::vector<int> left(list.Data(), list.Data() + list.Count());
        EXPECT_EQ(left, first_only ? (std::vector<int>{1, 2, 2, 3, 2}) : (std::vector<int>{1, 3}));
    }
}

TEST(List, InsertAtPlacesBeforeIndex)
{
    TZAVMultiList<int> list;
    list.Add(1);
    list.Add(3);
    EXPECT_TRUE(list.InsertAt(2, 1));
    EXPECT_TRUE(list.InsertAt(4, 3));
    EXPECT_FALSE(list.InsertAt(9, 5));
    EXPECT_FALSE(list.InsertAt(9, -1));
    ASSERT_EQ(list.Count(), 4);
    for (int i = 0; i < 4; i++) {
        int v = 0;
        list.Get(v, i);
        EXPECT_EQ(v, i + 1);
    }
}

TEST(List, CurrentCursor)
{
    TZAVMultiList<int> list;
    list.Add(1);
    list.Add(2);
    EXPECT_TRUE(list.SetCurrent(-1));
    EXPECT_FALSE(list.SetCurrent(list.Count()));
    EXPECT_EQ(list.GetCurrent(), -1);
    EXPECT_TRUE(list.SetCurrent(1));
    int item = 0;
    EXPECT_TRUE(list.GetCurrentItem(item));
    EXPECT_EQ(item, 2);
    list.RemoveAt(1); // the cursor no longer names an element
    EXPECT_EQ(list.GetCurrent(), -1);
    list.SetCurrent(0);
    list.Remove(5, TZAVRemoveCount::Every); // Remove resets the cursor even when nothing matches
    EXPECT_EQ(list.GetCurrent(), -1);
}

TEST(List, FirstNextWalkAndStopAtEnd)
{
    TZAVMultiList<int> list;
    for (int v : {10, 20, 30})
        list.Add(v);
    int v = 0;
    std::string seen;
    for (bool ok = list.First(v); ok; ok = list.Next(v))
        seen += std::to_string(v) + ",";
    EXPECT_EQ(seen, "10,20,30,");
    EXPECT_FALSE(list.Next(v));
    EXPECT_EQ(v, 0);
}

TEST(List, DestroysOnlyThroughClearAndDelete)
{
    int destroyed = 0;
    {
        TZAVMultiList<Counted*> list;
        Counted* kept = new Counted(&destroyed);
        list.Add(new Counted(&destroyed));
        list.Add(kept);
        list.Add(nullptr);
        list.Add(new Counted(&destroyed));
        EXPECT_EQ(list.Remove(kept, TZAVRemoveCount::FirstOnly), 1);
        EXPECT_EQ(destroyed, 0);
        EXPECT_TRUE(list.DeleteAt(0));
        EXPECT_EQ(destroyed, 1);
        list.Clear();
        EXPECT_EQ(destroyed, 2);
        EXPECT_EQ(list.Count(), 0);
        delete kept;
    }
    EXPECT_EQ(destroyed, 3);
}

TEST(List, ClearsArrayElementsAsArrays)
{
    // Under the address sanitizer a scalar delete of an array is reported as a mismatch.
    TZAVMultiList<char*> strings(true);
    strings.Add(new char[8]);
    strings.Add(new char[16]);
    strings.Clear();
    EXPECT_EQ(strings.Count(), 0);
}

TEST(List, InvalidListTypeFailsEveryOperation)
{
    TZAVMultiList<int> list;
    list.Add(1);
    list.ListType = 3;
    int v = 5;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.Get(v, 0));
    EXPECT_FALSE(list.Add(2));
    EXPECT_EQ(list.IndexOf(1), -1);
    list.ListType = 0;
    EXPECT_EQ(list.Count(), 1);
}

TEST(Traversal, VisitsEachElementAndRaisesWithTheNamesWhenSteppingBack)
{
    TZAVMultiList<int> list;
    for (int v : {1, 2, 3})
        list.Add(v);
    std::vector<int> visited;
    try {
        ZAV_TRAVERSE(int, Value, list)
        {
            visited.push_back(Value);
            if (Value == 2) {
                list.RemoveAt(Value_index);
                list.InsertAt(2, Value_index);
                Value_index--;
            }
        }
        FAIL() << "no error raised";
    } catch (const TZAVError& error) {
        EXPECT_STREQ(error.what(), "Infinite list traversal detected int,Value,list");
    }
    EXPECT_EQ(visited, (std::vector<int>{1, 2}));

    // Removing without stepping back ends the walk early: the count was taken before it.
    visited.clear();
    ZAV_TRAVERSE(int, item, list)
    {
        visited.push_back(item);
        list.RemoveAt(item_index);
    }
    EXPECT_EQ(visited, (std::vector<int>{1, 3}));
}

TEST(HashTable, FindsKeysWhateverTheirCase)
{
    THashTable<int> table(100);
    EXPECT_TRUE(table.Insert("Skin", 1));
    EXPECT_TRUE(table.Insert("Eyes", 2));
    EXPECT_FALSE(table.Insert("SKIN", 3));
    EXPECT_EQ(table.GetCount(), 2);
    int value = 0;
    EXPECT_TRUE(table.Find("sKiN", &value));
    EXPECT_EQ(value, 1);
    EXPECT_TRUE(table.Find("EYES"));
    EXPECT_FALSE(table.Find("Hair", &value));
    EXPECT_EQ(value, 1);
    EXPECT_FALSE(table.Insert(nullptr, 4));
    EXPECT_FALSE(table.Find(nullptr));
    EXPECT_EQ(table.GetCount(), 2);
}

TEST(HashTable, ManyKeysInFewBuckets)
{
    THashTable<int> table(3);
    for (int i = 0; i < 200; i++)
        EXPECT_TRUE(table.Insert(("material_" + std::to_string(i)).c_str(), i));
    for (int i = 0; i < 200; i++) {
        int value = -1;
        ASSERT_TRUE(table.Find(("MATERIAL_" + std::to_string(i)).c_str(), &value));
        EXPECT_EQ(value, i);
    }
}

} // namespace
