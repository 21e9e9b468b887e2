// String-keyed table built on the typed lists. Keys compare without regard to case; the bucket
// is chosen from the case-folded key so that such a lookup finds a key whatever its case.
#pragma once

#include <cctype>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <strings.h>
#include <utility>
#include <vector>

#include "core/list.h"

template <typename T> struct THashTableNode
{
    std::string Key;
    T Value;
};

template <typename T> class THashTable
{
public:
    explicit THashTable(int32_t bucket_count) : BucketCount(bucket_count < 1 ? 1 : bucket_count)
    {
        Buckets.reserve(BucketCount);
        for (int32_t i = 0; i < BucketCount; i++)
            Buckets.push_back(std::make_unique<TZAVMultiList<THashTableNode<T>*>>());
        Order.resize(BucketCount);
        for (int32_t i = 0; i < BucketCount; i++)
            Order[i] = i;
        // Any permutation serves; a fixed seed keeps runs reproducible.
        std::minstd_rand random(12345);
        for (int32_t i = 0; i < BucketCount; i++)
            std::swap(Order[i], Order[random() % BucketCount]);
    }

    ~THashTable()
    {
        for (auto& bucket : Buckets)
            bucket->Clear();
    }

    THashTable(const THashTable&) = delete;
    THashTable& operator=(const THashTable&) = delete;

    int32_t GetCount() const { return Count; }

    bool Find(const char* key, T* out_value = nullptr) const
    {
        THashTableNode<T>* node = FindNode(key);
        if (node == nullptr)
            return false;
        if (out_value)
            *out_value = node->Value;
        return true;
    }

    // False when the key is null or already present; the stored value then stays.
    bool Insert(const char* key, T value)
    {
        if (key == nullptr || FindNode(key) != nullptr)
            return false;
        Buckets[BucketOf(key)]->Add(new THashTableNode<T>{std::string(key), std::move(value)});
        Count++;
        return true;
    }

private:
    int32_t BucketOf(const char* key) const
    {
        uint32_t sum = 0;
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key); *p; p++)
            sum += static_cast<uint32_t>(std::tolower(*p));
        return Order[sum % static_cast<uint32_t>(BucketCount)];
    }

    THashTableNode<T>* FindNode(const char* key) const
    {
        if (key == nullptr)
            return nullptr;
        const TZAVMultiList<THashTableNode<T>*>& bucket = *Buckets[BucketOf(key)];
        ZAV_TRAVERSE(THashTableNode<T>*, Node, bucket)
        {
            if (strcasecmp(Node->Key.c_str(), key) == 0)
                return Node;
        }
        return nullptr;
    }

    std::vector<std::unique_ptr<TZAVMultiList<THashTableNode<T>*>>> Buckets;
    std::vector<int32_t> Order;
    int32_t BucketCount;
    int32_t Count = 0;
};
