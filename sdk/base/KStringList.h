#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KString.h"

namespace duzsdk {

struct KStringListItem {
    KStringListItem() = default;
    KStringListItem(const char* itemText, int itemData) : text(itemText), data(itemData) {}

    KString text;
    int data = 0;
};

// Ordered list of owned items, each a text with an attached integer. It can
// be read and written as one text with "~" between the items.
template <class Item>
class KStringListTemplate {
public:
    KStringListTemplate() : items_(16) {}
    virtual ~KStringListTemplate() { DestroyItems(); }

    KStringListTemplate(const KStringListTemplate&) = delete;
    KStringListTemplate& operator=(const KStringListTemplate&) = delete;

    // Replaces the text of item `index`; false outside 0 .. count - 1.
    virtual bool SetStringAt(int index, const char* text);
    // Inserts a new item at `index` (clamped to 0 .. count); returns the index
    // used, -1 when memory runs out.
    virtual int InsertAt(int index, const char* text, int data = 0);
    // Destroys item `index`; false outside 0 .. count - 1.
    virtual bool RemoveAt(int index);
    // Destroys every item and frees the item array.
    virtual void Clear() { DestroyItems(); }
    // Appends every item's text to `out`, "~" between two items.
    virtual void GetText(KString& out) const;
    // Clears, then adds one item (data 0) per "~"-separated piece; a "~" at
    // the very end adds no empty last item.
    virtual void SetText(const char* text);

    int Append(const char* text, int data = 0) { return InsertAt(items_.Count(), text, data); }
    // Index of the first item whose text equals `text` (case-sensitive); -1.
    int FindIndex(const char* text) const;

    int Count() const { return items_.Count(); }
    int GetCount() const { return items_.Count(); }
    // Null outside 0 .. count - 1.
    Item* GetItemAt(int index) const { return items_.GetAt(index, nullptr); }
    // Text of item `index`; null outside 0 .. count - 1.
    const char* GetStringAt(int index) const
    {
        Item* item = GetItemAt(index);
        return item != nullptr ? item->text.Buffer() : nullptr;
    }
    // Data of item `index`; 0 outside 0 .. count - 1.
    int GetDataAt(int index) const
    {
        Item* item = GetItemAt(index);
        return item != nullptr ? item->data : 0;
    }
    bool SetDataAt(int index, int data)
    {
        Item* item = GetItemAt(index);
        if (item == nullptr) {
            return false;
        }
        item->data = data;
        return true;
    }

protected:
    void DestroyItems();
    static Item* NewItem(const char* text, int data);
    static void DeleteItem(Item* item);

    KPointerArray<Item> items_;
};

class KStringList : public KStringListTemplate<KStringListItem> {
public:
    KStringList() = default;
    KStringList(const KStringList& other) : KStringListTemplate() { CopyFrom(other); }
    KStringList& operator=(const KStringList& other) { return Assign(other); }

    // Clear, then a copy of every item (text and data) of `other` at the end.
    // Copying a list onto itself leaves it unchanged.
    void CopyFrom(const KStringList& other);
    KStringList& Assign(const KStringList& other)
    {
        CopyFrom(other);
        return *this;
    }
};

extern template class KStringListTemplate<KStringListItem>;

}  // namespace duzsdk
