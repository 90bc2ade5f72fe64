// A property whose connections are a list of objects: its sources when plug
// flag 0x01 is set, else its destinations.
#pragma once

#include "sdk/object/KProperty.h"

namespace duzsdk {

class KPropertyObjectList : public KPropertyList {
public:
    KPropertyObjectList(KObject* owner, const char* name, bool user = false);
    ~KPropertyObjectList() override;

    KPlugTypeInfo* GetPlugTypeInfo() const override;
    static KPlugTypeInfo* ClassTypeInfo();
    bool SendConnectionEvent(const KPlugEventChain* chain, int code, KPlug* plug, int index,
                             KPlug* other, int flags, KPlug* extra) override;

    virtual int GetCount() const;
    // Null unless the entry is an object.
    virtual KObject* GetObject(int index) const;
    virtual bool Add(KObject* object);
    virtual bool SetAt(int index, KObject* object);
    virtual bool RemoveAt(int index);
    virtual bool InsertAt(int index, KObject* object);
    virtual bool Remove(KObject* object);
    virtual void Clear();
    virtual int GetChangeCount() const { return mChangeCount; }
    virtual void Touch() { ++mChangeCount; }
    // Stores both numbers; the filter number's record becomes the type filter.
    virtual void SetTypes(int companion, int filter);
    virtual void GetTypes(int& companion, int& filter) const;
    // Searches the source list only; -1 when absent.
    virtual int IndexOf(const KObject* object) const;

private:
    bool UsesSources() const { return (GetFlags() & kAcceptsSources) != 0; }

    int mFilterType = -1;
    int mCompanionType = -1;
    int mChangeCount = 0;
};

}  // namespace duzsdk
