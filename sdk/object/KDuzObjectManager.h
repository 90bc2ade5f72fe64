// The object manager: a lazily created singleton whose IRegister interface
// lets other parts of the SDK listen for the notification the DUZ readers
// send (the temporary-file manager does).
#pragma once

#include "sdk/object/KEventEmitter.h"

namespace duzsdk {

class KTemporaryFileManager;

inline constexpr unsigned KDuzObjectManagerEventId = 0x34538402u;

// The notification record.
struct KDuzObjectManagerEvent : KEventRecord {
    void* object = nullptr;
    int value = 0;
    std::vector<void*> work;
};

class IRegister {
public:
    virtual void* GetInterface(int id) = 0;
    virtual void Release() = 0;
    // Only KDuzObjectManagerEventId is known; other ids give false.
    virtual bool Register(unsigned eventId, void* data, KEventCallback callback) = 0;
    virtual bool Unregister(unsigned eventId, void* data, KEventCallback callback) = 0;

protected:
    ~IRegister() = default;
};

class KDuzObjectManager : public IRegister {
public:
    static constexpr int kInterfaceRegister = 3;

    // 0 and 2: the manager; 3: its IRegister interface.
    void* GetInterface(int id) override;
    void Release() override {}
    bool Register(unsigned eventId, void* data, KEventCallback callback) override;
    bool Unregister(unsigned eventId, void* data, KEventCallback callback) override;

    KEventEmitter& GetEmitter() { return mEvents; }

private:
    friend KDuzObjectManager* KDuzObjectManagerGet();
    KDuzObjectManager() = default;
    ~KDuzObjectManager() = default;

    KEventEmitter mEvents;
};

// The singleton, created on first use (once per process).
KDuzObjectManager* KDuzObjectManagerGet();
// Dispatches {id, object, value} to the listeners when the singleton exists.
void KDuzObjectManagerNotify(void* object, int value);
// The temporary-file manager's registration (callback gets the manager as data).
bool KTemporaryFileManagerHook(KTemporaryFileManager* manager, KEventCallback callback);
bool KTemporaryFileManagerUnhook(KTemporaryFileManager* manager, KEventCallback callback);
// Installs the link through which every temporary-file manager hears the
// notification (called by SDK start-up).
void KDuzObjectManagerLinkTemporaryFiles();

}  // namespace duzsdk
