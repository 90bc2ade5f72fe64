#include "sdk/object/KDuzObjectManager.h"

#include "sdk/base/KTemporaryFileManager.h"

namespace duzsdk {

namespace {

bool gManagerAllowed = true;
KDuzObjectManager* gManager = nullptr;

void ForwardToTemporaryFiles(void* data, void*, KEventRecord* event) {
    if (data == nullptr || event == nullptr || event->id != KDuzObjectManagerEventId) return;
    auto* notification = static_cast<KDuzObjectManagerEvent*>(event);
    static_cast<KTemporaryFileManager*>(data)->OnNotification(notification->value);
}

bool TemporaryFileLink(KTemporaryFileManager* manager, bool attach) {
    return attach ? KTemporaryFileManagerHook(manager, &ForwardToTemporaryFiles)
                  : KTemporaryFileManagerUnhook(manager, &ForwardToTemporaryFiles);
}

}  // namespace

void* KDuzObjectManager::GetInterface(int id) {
    if (id == 0 || id == 2) return this;
    if (id == kInterfaceRegister) return static_cast<IRegister*>(this);
    return nullptr;
}

bool KDuzObjectManager::Register(unsigned eventId, void* data, KEventCallback callback) {
    if (eventId != KDuzObjectManagerEventId || callback == nullptr) return false;
    mEvents.AddHandler(data, callback, 0x7fffffff);
    return true;
}

bool KDuzObjectManager::Unregister(unsigned eventId, void* data, KEventCallback callback) {
    if (eventId != KDuzObjectManagerEventId) return false;
    return mEvents.RemoveHandler(data, callback);
}

KDuzObjectManager* KDuzObjectManagerGet() {
    if (gManager == nullptr && gManagerAllowed) {
        gManager = new KDuzObjectManager;
        gManagerAllowed = false;
    }
    return gManager;
}

void KDuzObjectManagerNotify(void* object, int value) {
    if (gManager == nullptr) return;
    KDuzObjectManagerEvent event;
    event.id = KDuzObjectManagerEventId;
    event.object = object;
    event.value = value;
    gManager->GetEmitter().Dispatch(static_cast<IRegister*>(gManager), &event);
}

bool KTemporaryFileManagerHook(KTemporaryFileManager* manager, KEventCallback callback) {
    KDuzObjectManager* objectManager = KDuzObjectManagerGet();
    if (objectManager == nullptr) return false;
    auto* registrar = static_cast<IRegister*>(objectManager->GetInterface(KDuzObjectManager::kInterfaceRegister));
    return registrar->Register(KDuzObjectManagerEventId, manager, callback);
}

bool KTemporaryFileManagerUnhook(KTemporaryFileManager* manager, KEventCallback callback) {
    if (gManager == nullptr) return false;
    return gManager->Unregister(KDuzObjectManagerEventId, manager, callback);
}

void KDuzObjectManagerLinkTemporaryFiles() {
    KTemporaryFileManager::SetNotificationLink(&TemporaryFileLink);
}

}  // namespace duzsdk
