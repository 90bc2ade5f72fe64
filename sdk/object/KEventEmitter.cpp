#include "sdk/object/KEventEmitter.h"

#include <cstring>

namespace duzsdk {

// One dispatch in progress; lives on the stack of Dispatch.
struct KEventDispatchFrame {
    KEventDispatchFrame* previous;
    KEventEmitter* emitter;   // null once the emitter is destroyed
    int index;
    int lowest;
};

namespace {

bool gRegistryAllowed = true;
KEventRegistry* gRegistry = nullptr;

}  // namespace

// ---- emitter ---------------------------------------------------------------

KEventEmitter::~KEventEmitter() {
    RemoveAll();
    for (KEventDispatchFrame* frame = mActiveDispatch; frame != nullptr; frame = frame->previous)
        frame->emitter = nullptr;
}

void KEventEmitter::AddHandler(void* data, KEventCallback callback, int priority) {
    // Appended: the walk goes down from the end, so a running dispatch, which
    // is below the new entry already, never reaches it.
    KEventHandlerRecord record;
    record.data = data;
    record.callback = callback;
    record.priority = priority;
    mHandlers.push_back(record);
}

bool KEventEmitter::RemoveHandler(void* data, KEventCallback callback) {
    for (int i = 0; i < GetHandlerCount(); ++i) {
        if (mHandlers[i].data == data && mHandlers[i].callback == callback) {
            mHandlers.erase(mHandlers.begin() + i);
            for (KEventDispatchFrame* frame = mActiveDispatch; frame; frame = frame->previous) {
                if (frame->index > i) --frame->index;
                if (frame->lowest > i) --frame->lowest;
            }
            return true;
        }
    }
    return false;
}

void KEventEmitter::RemoveAll() {
    mHandlers.clear();
    for (KEventDispatchFrame* frame = mActiveDispatch; frame; frame = frame->previous) {
        frame->index = 0;
        frame->lowest = 0;
    }
}

bool KEventEmitter::Dispatch(void* sender, KEventRecord* event) {
    KEventDispatchFrame frame{mActiveDispatch, this, GetHandlerCount() - 1, 0};
    // The frame is unlinked however the walk ends, a handler's exception
    // included, so the emitter never keeps the address of a finished dispatch.
    struct Unlink {
        KEventDispatchFrame& frame;
        ~Unlink() {
            if (frame.emitter != nullptr) frame.emitter->mActiveDispatch = frame.previous;
        }
    } unlink{frame};
    // gcc cannot see that the guard above unlinks the frame on every way out.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
#endif
    mActiveDispatch = &frame;
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    while (frame.index >= frame.lowest) {
        // The emitter may be gone after any call: read it through the frame.
        if (frame.emitter == nullptr) return true;
        if (frame.index < frame.emitter->GetHandlerCount()) {
            const KEventHandlerRecord record = frame.emitter->mHandlers[frame.index];
            if (record.callback != nullptr) record.callback(record.data, sender, event);
            if (frame.emitter == nullptr) return true;
            if (event != nullptr && event->handled != 0) break;
        }
        --frame.index;
    }
    return true;
}

// ---- registry --------------------------------------------------------------

KEventRegistry* KEventRegistryGet() {
    if (gRegistry == nullptr && gRegistryAllowed) {
        gRegistry = new KEventRegistry;
        gRegistryAllowed = false;
    }
    return gRegistry;
}

KEventRegistry::~KEventRegistry() {
    for (Entry& entry : mEntries) delete entry.emitter;
}

int KEventRegistry::LowerBound(const char* name) const {
    int low = 0, high = GetCount();
    while (low < high) {
        int mid = (low + high) / 2;
        if (mEntries[mid].name.Compare(name) < 0) low = mid + 1;
        else high = mid;
    }
    return low;
}

KEventEmitter* KEventRegistry::Find(const char* name) const {
    if (name == nullptr) return nullptr;
    int at = LowerBound(name);
    if (at < GetCount() && mEntries[at].name.EqualsText(name)) return mEntries[at].emitter;
    return nullptr;
}

KEventEmitter* KEventRegistry::FindOrCreate(const char* name) {
    if (name == nullptr) return nullptr;
    int at = LowerBound(name);
    if (at < GetCount() && mEntries[at].name.EqualsText(name)) return mEntries[at].emitter;
    auto* emitter = new KEventEmitter;
    mEntries.insert(mEntries.begin() + at, Entry{KString(name), emitter});
    return emitter;
}

bool KEventRegistry::RemoveEmitter(const char* name) {
    if (name == nullptr) return false;
    int at = LowerBound(name);
    if (at >= GetCount() || !mEntries[at].name.EqualsText(name)) return false;
    KEventEmitter* emitter = mEntries[at].emitter;
    mEntries.erase(mEntries.begin() + at);
    delete emitter;
    return true;
}

// ---- registrations ---------------------------------------------------------

bool KEventRegistration::Register(const char* name, void* data, KEventCallback callback) {
    KEventRegistry* registry = KEventRegistryGet();
    if (registry == nullptr || mCallback != nullptr || callback == nullptr || name == nullptr)
        return false;
    KEventEmitter* emitter = registry->FindOrCreate(name);
    emitter->AddHandler(data, callback);
    mName = name;
    mData = data;
    mCallback = callback;
    return true;
}

bool KEventRegistration::Unregister() {
    KEventRegistry* registry = gRegistry;
    if (registry == nullptr) return false;
    KEventEmitter* emitter = registry->Find(mName.Buffer());
    if (emitter == nullptr || mCallback == nullptr) return false;
    emitter->RemoveHandler(mData, mCallback);
    if (emitter->GetHandlerCount() == 0) registry->RemoveEmitter(mName.Buffer());
    mCallback = nullptr;
    return true;
}

// ---- library proxy ---------------------------------------------------------

kLibraryBaseProxy::~kLibraryBaseProxy() {
    mOwned.clear();
    for (KEventRegistration*& registration : mRegistrations) {
        if (registration != nullptr) {
            registration->Unregister();
            delete registration;
            registration = nullptr;
        }
    }
}

void* kLibraryBaseProxy::GetInterface(int id) {
    return (id == 0 || id == 2) ? this : nullptr;
}

bool kLibraryBaseProxy::SetRegistration(int slot, KEventRegistration* registration) {
    if (slot < 0 || slot >= kRegistrationCount || mRegistrations[slot] != nullptr) return false;
    mRegistrations[slot] = registration;
    return true;
}

KEventRegistration* kLibraryBaseProxy::GetRegistration(int slot) const {
    if (slot < 0 || slot >= kRegistrationCount) return nullptr;
    return mRegistrations[slot];
}

void kLibraryBaseProxyDestroyList(std::vector<kLibraryBaseProxy*>& proxies,
                                  bool (*claim)(kLibraryBaseProxy*)) {
    while (!proxies.empty()) {
        kLibraryBaseProxy* proxy = proxies.back();
        proxies.pop_back();
        if (proxy != nullptr && (claim == nullptr || !claim(proxy))) delete proxy;
    }
}

}  // namespace duzsdk
