#include "sdk/base/KStringList.h"

#include <cstring>
#include <new>

#include "sdk/base/KMemory.h"

namespace duzsdk {

// Items come from the allocation hooks like every other SDK block.
template <class Item>
Item* KStringListTemplate<Item>::NewItem(const char* text, int data)
{
    void* block = KMemAlloc(sizeof(Item));
    return block != nullptr ? new (block) Item(text, data) : nullptr;
}

template <class Item>
void KStringListTemplate<Item>::DeleteItem(Item* item)
{
    if (item != nullptr) {
        item->~Item();
        KMemFree(item);
    }
}

template <class Item>
void KStringListTemplate<Item>::DestroyItems()
{
    for (Item* item : items_) {
        DeleteItem(item);
    }
    items_.Clear();
}

template <class Item>
bool KStringListTemplate<Item>::SetStringAt(int index, const char* text)
{
    Item* item = GetItemAt(index);
    if (item == nullptr) {
        return false;
    }
    item->text.AssignText(text);
    return true;
}

template <class Item>
int KStringListTemplate<Item>::InsertAt(int index, const char* text, int data)
{
    if (index < 0) {
        index = 0;
    }
    Item* item = NewItem(text, data);
    if (item == nullptr) {
        return -1;
    }
    int used = items_.InsertAt(index, item);
    if (used < 0) {
        DeleteItem(item);
    }
    return used;
}

template <class Item>
bool KStringListTemplate<Item>::RemoveAt(int index)
{
    Item* item = GetItemAt(index);
    if (item == nullptr) {
        return false;
    }
    items_.RemoveAt(index);
    DeleteItem(item);
    return true;
}

template <class Item>
void KStringListTemplate<Item>::GetText(KString& out) const
{
    for (int i = 0; i < items_.Count(); ++i) {
        if (i > 0) {
            out.AppendChar('~');
        }
        out.AppendString(items_[i]->text);
    }
}

template <class Item>
void KStringListTemplate<Item>::SetText(const char* text)
{
    // The text may belong to one of the items about to be destroyed.
    KString copy(text);
    Clear();
    if (text == nullptr) {
        return;
    }
    const char* pieceStart = copy.Buffer();
    for (const char* p = pieceStart; *p != 0; ++p) {
        if (*p == '~') {
            KString piece(pieceStart, static_cast<int>(p - pieceStart));
            InsertAt(items_.Count(), piece.Buffer(), 0);
            pieceStart = p + 1;
        }
    }
    if (*pieceStart != 0) {
        InsertAt(items_.Count(), pieceStart, 0);
    }
}

template <class Item>
int KStringListTemplate<Item>::FindIndex(const char* text) const
{
    for (int i = 0; i < items_.Count(); ++i) {
        if (items_[i]->text.EqualsText(text)) {
            return i;
        }
    }
    return -1;
}

template class KStringListTemplate<KStringListItem>;

void KStringList::CopyFrom(const KStringList& other)
{
    if (this == &other) {
        return;
    }
    Clear();
    for (int i = 0; i < other.Count(); ++i) {
        const KStringListItem* item = other.GetItemAt(i);
        int index = Append(item->text.Buffer(), item->data);
        // Keep an invalid text invalid rather than turning it into "".
        if (index >= 0 && !item->text.IsValid()) {
            GetItemAt(index)->text.Invalidate();
        }
    }
}

}  // namespace duzsdk
