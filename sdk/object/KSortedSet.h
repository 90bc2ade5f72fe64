// A small ordered set of keys kept in a red-black tree. It offers insertion
// (an equal key replaces the stored one), lookup and clearing; single keys
// are never removed.
#pragma once

#include <cstdint>
#include <cstring>

namespace duzsdk {

struct KSortedSetNode {
    void* key = nullptr;
    KSortedSetNode* parent = nullptr;
    KSortedSetNode* left = nullptr;
    KSortedSetNode* right = nullptr;
    int flags = 0;   // bit 0 set: black; bits 0 and 1 clear: red

    bool IsBlack() const { return (flags & 1) != 0; }
    void MakeBlack() { flags = (flags | 1) & ~2; }
    void MakeRed() { flags &= ~3; }
};

// Untyped core: the ordering is a three-way compare of two keys.
class KSortedSetBase {
public:
    using Compare = int (*)(const void* a, const void* b);

    explicit KSortedSetBase(Compare compare) : mCompare(compare) {}
    ~KSortedSetBase() { Clear(); }
    KSortedSetBase(const KSortedSetBase&) = delete;
    KSortedSetBase& operator=(const KSortedSetBase&) = delete;

    // True when a node was added; false when an equal key was present, whose
    // stored key is then replaced by the given one.
    bool Insert(void* key);
    // The stored key equal to the given one, or null.
    void* Find(const void* key) const;
    void Clear();
    int GetCount() const { return mCount; }
    const KSortedSetNode* GetRoot() const { return mRoot; }

    void RotateLeft(KSortedSetNode* node);
    void RotateRight(KSortedSetNode* node);

private:
    void Rebalance(KSortedSetNode* q);

    KSortedSetNode* mRoot = nullptr;
    int mCount = 0;
    Compare mCompare;
};

// Ordering by address. Addresses are compared as unsigned pointer-sized
// numbers: a difference truncated to 32 bits would misorder keys far apart.
struct KSortedSetByAddress {
    static int Compare(const void* a, const void* b) {
        auto x = reinterpret_cast<std::uintptr_t>(a);
        auto y = reinterpret_cast<std::uintptr_t>(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
};

// Ordering by the text a key designates (byte-wise, case-sensitive). The key
// type provides the text through KeyText.
template <typename Key>
struct KSortedSetByName {
    static int Compare(const void* a, const void* b) {
        return std::strcmp(KeyText(static_cast<const Key*>(a)), KeyText(static_cast<const Key*>(b)));
    }
};

template <typename Key, typename Order = KSortedSetByAddress>
class KSortedSet : public KSortedSetBase {
public:
    KSortedSet() : KSortedSetBase(&Order::Compare) {}
    bool Insert(Key* key) { return KSortedSetBase::Insert(key); }
    Key* Find(const Key* key) const { return static_cast<Key*>(KSortedSetBase::Find(key)); }
};

}  // namespace duzsdk
