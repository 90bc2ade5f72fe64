// Class ids of the public classes: one process-wide record per class with its
// name, parent, creator, connection filter and the type names a file format
// knows it by, and the per-manager registry that finds the records by name
// and by file type.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/object/KPlugType.h"
#include "sdk/object/KSortedSet.h"

namespace duzsdk {

class KPlug;
class KDuzPlug;
class KDuzSdkManager;
struct KClassIdInfo;

// Makes a new public object of one class for the manager, with that name.
using KDuzClassCreator = KDuzPlug* (*)(KDuzSdkManager* manager, const char* name);

// The public layer's answer to "is the public object behind this internal
// plug, by its runtime class, of the class of info?". The public layer
// installs it; until then the class filters accept nothing.
using KClassIdPlugMatcher = bool (*)(const KPlug* plug, const KClassIdInfo* info);
void KClassIdSetPlugMatcher(KClassIdPlugMatcher matcher);
KClassIdPlugMatcher KClassIdGetPlugMatcher();

// Filters carry no internal plug type of their own; this number keeps them
// apart from "None" (-1) and "KPlug", which a child-plug lookup treats as the
// plug itself.
inline constexpr int kClassIdFilterTypeNumber = -2;

// The connection filter of one class: it keeps the plugs whose public object
// belongs to the class or one of its descendants.
class KClassIdInfoFilter : public KPlugFilter {
public:
    explicit KClassIdInfoFilter(KClassIdInfo* info);

    bool Accepts(const KPlug* plug) const override;
    bool IsTypeNumber(int) const override { return false; }
    // Two class filters are the same only when they are one filter.
    bool IsSameType(const KPlugFilter* other) const override { return other == this; }

    KClassIdInfo* GetInfo() const { return mInfo; }

private:
    KClassIdInfo* mInfo;
};

// One record per registered class. Records live for the whole process, so a
// handle never dangles.
struct KClassIdInfo {
    KClassIdInfo(const char* name, KClassIdInfo* parentInfo, KDuzClassCreator classCreator);
    KClassIdInfo(const KClassIdInfo&) = delete;
    KClassIdInfo& operator=(const KClassIdInfo&) = delete;

    KString className;
    KClassIdInfo* parent;
    KDuzClassCreator creator;
    KClassIdInfoFilter filter;
    KString duzTypeName;
    KString duzSubTypeName;
};

// A handle on a class record; copies share the record. The null handle means
// no class (read by the connection and registry queries as "any object").
class KClassId {
public:
    KClassId() = default;
    explicit KClassId(KClassIdInfo* info) : mInfo(info) {}

    // Creates a new process-wide record and makes this handle refer to it.
    void Allocate(const char* name, const KClassId& parent, KDuzClassCreator creator);

    bool IsValid() const { return mInfo != nullptr; }
    KClassIdInfo* GetInfo() const { return mInfo; }

    // "" for the null handle.
    const char* GetName() const;
    const char* GetDuzTypeName() const;
    const char* GetDuzSubTypeName() const;
    // False for the null handle; a null text stores "".
    bool SetDuzTypeName(const char* name);
    bool SetDuzSubTypeName(const char* name);

    KClassId GetParent() const;
    KDuzClassCreator GetCreator() const;
    // Replaces the creator of the class for every manager. False for the
    // null handle.
    bool SetCreator(KDuzClassCreator creator);
    // Null for the null handle.
    KClassIdInfoFilter* GetFilter() const;

    // True when this class is the target or descends from it. A null handle
    // on either side gives false.
    bool Is(const KClassId& target) const;
    // The object made by the nearest creator up the parent chain; null when
    // no class up the chain has one, or for the null handle.
    KDuzPlug* Create(KDuzSdkManager* manager, const char* name) const;

    bool operator==(const KClassId& other) const { return mInfo == other.mInfo; }
    bool operator!=(const KClassId& other) const { return mInfo != other.mInfo; }

private:
    KClassIdInfo* mInfo = nullptr;
};

// Number of class records created in this process.
int KClassIdGetRecordCount();

// Orders records by class name.
inline const char* KeyText(const KClassIdInfo* info) { return info->className.Buffer(); }

// Orders records by file type name, then sub-type name; both byte-wise.
struct KClassIdByDuzType {
    static int Compare(const void* a, const void* b);
};

// One row of a class tree to register: where the class keeps its
// process-wide handle, its name, its parent's handle (null for the root) and
// its creator (null: objects come from the nearest creatable ancestor).
struct KClassTreeRow {
    KClassId* handle;
    const char* name;
    const KClassId* parent;
    KDuzClassCreator creator;
};

// The classes one SDK manager knows, by name and by file type.
class KClassRegistry {
public:
    KClassRegistry() = default;
    KClassRegistry(const KClassRegistry&) = delete;
    KClassRegistry& operator=(const KClassRegistry&) = delete;

    // Creates a record and enters it by name; when both type names are given
    // it carries them and enters the type-name set too.
    KClassId RegisterClass(const char* name, const KClassId& parent, KDuzClassCreator creator,
                           const char* duzTypeName = nullptr,
                           const char* duzSubTypeName = nullptr);
    // Enters an existing record by name. False for the null handle.
    bool AddClass(const KClassId& classId);
    // Null handle when no class carries both names (or either is null).
    KClassId FindClassByDuzType(const char* duzTypeName, const char* duzSubTypeName) const;
    // Null handle when no class of this manager has the name.
    KClassId FindClassByName(const char* name) const;

    // Registers a tree once per process. When the first row's handle is set
    // already the tree exists and nothing is done; otherwise every row whose
    // handle is still null is registered under its parent, and a row whose
    // handle is set is entered by name. Rows come parents first. False (and
    // nothing registered) for an empty table or a row without handle.
    bool RegisterClassTree(const KClassTreeRow* rows, int count);

    int GetNameCount() const { return mByName.GetCount(); }
    int GetTypeNameCount() const { return mByDuzType.GetCount(); }

    void Clear();

private:
    KSortedSet<KClassIdInfo, KSortedSetByName<KClassIdInfo>> mByName;
    KSortedSet<KClassIdInfo, KClassIdByDuzType> mByDuzType;
};

}  // namespace duzsdk
