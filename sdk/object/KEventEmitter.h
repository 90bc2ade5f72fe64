// Emitters that hold handler lists and survive handlers being added or
// removed while an event is dispatched, the process-wide registry of named
// emitters, named registrations, and the library proxy that owns up to four
// of them.
#pragma once

#include "sdk/base/KString.h"

#include <vector>

namespace duzsdk {

// Every event record starts with its id and the handled word; a handler sets
// handled to stop the dispatch.
struct KEventRecord {
    unsigned id = 0;
    int handled = 0;
};

using KEventCallback = void (*)(void* data, void* sender, KEventRecord* event);

struct KEventHandlerRecord {
    void* data = nullptr;
    KEventCallback callback = nullptr;
    void* reserved = nullptr;
    int priority = 0x7fffffff;
};

struct KEventDispatchFrame;

class KEventEmitter {
public:
    KEventEmitter() = default;
    ~KEventEmitter();
    KEventEmitter(const KEventEmitter&) = delete;
    KEventEmitter& operator=(const KEventEmitter&) = delete;

    // A handler added during a dispatch is not called by that dispatch.
    void AddHandler(void* data, KEventCallback callback, int priority = 0x7fffffff);
    // Removes the first handler with this data and callback; a dispatch in
    // progress neither repeats nor skips a handler. False when none matches.
    bool RemoveHandler(void* data, KEventCallback callback);
    void RemoveAll();
    // Calls the handlers from the last added to the first, stopping when one
    // marks the event handled or destroys the emitter.
    bool Dispatch(void* sender, KEventRecord* event);

    int GetHandlerCount() const { return static_cast<int>(mHandlers.size()); }

private:
    std::vector<KEventHandlerRecord> mHandlers;
    KEventDispatchFrame* mActiveDispatch = nullptr;
};

// The registry of named emitters: created on first use, never re-created.
class KEventRegistry {
public:
    KEventEmitter* Find(const char* name) const;
    // The emitter of that name, created when missing.
    KEventEmitter* FindOrCreate(const char* name);
    // Destroys the emitter and forgets its name.
    bool RemoveEmitter(const char* name);
    int GetCount() const { return static_cast<int>(mEntries.size()); }
    ~KEventRegistry();

private:
    struct Entry {
        KString name;
        KEventEmitter* emitter;
    };
    std::vector<Entry> mEntries;   // sorted by name
    int LowerBound(const char* name) const;
};

KEventRegistry* KEventRegistryGet();

// A handler registered under an emitter's name in the registry.
class KEventRegistration {
public:
    // Adds the handler to the named emitter (creating it). False without a
    // registry or when this registration already holds a handler.
    bool Register(const char* name, void* data, KEventCallback callback);
    // Removes the handler; an emitter left empty is destroyed and forgotten.
    bool Unregister();
    bool IsRegistered() const { return mCallback != nullptr; }

private:
    KString mName;
    void* mData = nullptr;
    KEventCallback mCallback = nullptr;
};

// Keeps up to four named registrations and removes them when it dies.
class kLibraryBaseProxy {
public:
    static constexpr int kRegistrationCount = 4;

    kLibraryBaseProxy() = default;
    virtual ~kLibraryBaseProxy();
    kLibraryBaseProxy(const kLibraryBaseProxy&) = delete;
    kLibraryBaseProxy& operator=(const kLibraryBaseProxy&) = delete;

    virtual void* GetInterface(int id);
    // Takes the registration (owned); false for a slot outside 0..3 or taken.
    bool SetRegistration(int slot, KEventRegistration* registration);
    KEventRegistration* GetRegistration(int slot) const;
    std::vector<void*>& GetOwnedArray() { return mOwned; }

private:
    std::vector<void*> mOwned;
    KEventRegistration* mRegistrations[kRegistrationCount] = {};
};

// Destroys a list of proxies from the last to the first; a proxy the claim
// function takes (answers true) is left to it.
void kLibraryBaseProxyDestroyList(std::vector<kLibraryBaseProxy*>& proxies,
                                  bool (*claim)(kLibraryBaseProxy*) = nullptr);

}  // namespace duzsdk
